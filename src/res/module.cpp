// The program's resource module: what the platform layer finds by id.
#include "platform/resources.h"
#include "res/resource.h"
#include "res/strings.h"

#include <vector>

extern const DlgTemplate g_qbxDialogs[];
extern const int g_qbxDialogCount;
extern const IconRes g_qbxIcons[];
extern const int g_qbxIconCount;
extern const VersionRes g_qbxVersion;
extern const CatalogueRes g_qbxCatalogues[];
extern const int g_qbxCatalogueCount;

namespace {

const MenuItemRes kMenu[] = {{"FILE", "EXIT", ID_FILE_EXIT_ITEM}};

const std::vector<StringRes>& Strings()
{
    static const std::vector<StringRes> table = [] {
        std::vector<StringRes> t;
        for (int i = 0; i < g_qbxStringCount; ++i) t.push_back({g_qbxStringTable[i].id, g_qbxStringTable[i].text});
        return t;
    }();
    return table;
}

}  // namespace

void QbxRegisterResources(bool withVersion)
{
    static ResourceModule module;
    module.dialogs = g_qbxDialogs;
    module.dialogCount = g_qbxDialogCount;
    module.strings = Strings().data();
    module.stringCount = static_cast<int>(Strings().size());
    module.icons = g_qbxIcons;
    module.iconCount = g_qbxIconCount;
    module.version = withVersion ? &g_qbxVersion : nullptr;
    module.menuId = IDR_MAINFRAME;
    module.menu = kMenu;
    module.menuCount = 1;
    module.catalogues = g_qbxCatalogues;
    module.catalogueCount = g_qbxCatalogueCount;
    SetResourceModule(&module);
}
