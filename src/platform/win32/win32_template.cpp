#include "platform/win32/win32_template.h"

#include "platform/win32/win32_native.h"

#include <string>

namespace {

// Window-system values the layer's headers do not name.
constexpr DWORD kChild = 0x40000000u;       // WS_CHILD
constexpr DWORD kSetFont = 0x0040u;         // DS_SETFONT
constexpr DWORD kProgressSmooth = 0x0001u;  // PBS_SMOOTH: the layer's PBS_BORDER bit
constexpr WORD kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082, kListBoxAtom = 0x0083,
               kComboBoxAtom = 0x0085;

class Writer {
public:
    void Word(unsigned v)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    void Dword(DWORD v)
    {
        Word(v & 0xFFFF);
        Word(v >> 16);
    }
    void Short(int v) { Word(static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(v)))); }
    void Text(const char* utf8)
    {
        for (char16_t c : native::Utf16(utf8 ? utf8 : "")) Word(c);
        Word(0);
    }
    void AlignDword()
    {
        while (m_bytes.size() % 4) m_bytes.push_back(0);
    }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

bool IsDefaultButton(const DlgItemTemplate& it)
{
    return it.cls == DlgItemClass::Button && (it.style & 0x0F) == BS_DEFPUSHBUTTON;
}

}  // namespace

std::vector<std::uint8_t> BuildDialogTemplate(const DlgTemplate& tmpl, int* defaultId)
{
    Writer w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: the extended form
    w.Dword(0);      // helpID
    w.Dword(0);      // exStyle
    w.Dword((tmpl.style & ~WS_VISIBLE) | kSetFont);
    w.Word(static_cast<unsigned>(tmpl.itemCount));
    w.Short(0);
    w.Short(0);
    w.Short(tmpl.cx);
    w.Short(tmpl.cy);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(tmpl.caption);
    w.Word(static_cast<unsigned>(tmpl.pointSize > 0 ? tmpl.pointSize : 8));
    w.Word(400);  // weight
    w.Word(0);    // italic, character set (ANSI)
    w.Text(tmpl.fontName && *tmpl.fontName ? tmpl.fontName : "MS Shell Dlg");

    int defId = 0;
    for (int i = 0; i < tmpl.itemCount; ++i) {
        const DlgItemTemplate& it = tmpl.items[i];
        DWORD style = it.style | kChild | WS_VISIBLE;
        if (IsDefaultButton(it)) {
            if (defId == 0)
                defId = it.id;
            else
                style = (style & ~0x0Fu) | BS_PUSHBUTTON;
        }
        if (it.cls == DlgItemClass::Progress)
            style = (style & ~PBS_BORDER) | ((it.style & PBS_BORDER) ? kProgressSmooth : 0);
        w.AlignDword();
        w.Dword(0);  // helpID
        w.Dword(0);  // exStyle
        w.Dword(style);
        w.Short(it.x);
        w.Short(it.y);
        w.Short(it.cx);
        w.Short(it.cy);
        w.Dword(it.id < 0 ? 0xFFFFu : static_cast<DWORD>(it.id));
        switch (it.cls) {
        case DlgItemClass::Button: w.Word(0xFFFF), w.Word(kButtonAtom); break;
        case DlgItemClass::Edit: w.Word(0xFFFF), w.Word(kEditAtom); break;
        case DlgItemClass::Static: w.Word(0xFFFF), w.Word(kStaticAtom); break;
        case DlgItemClass::ListBox: w.Word(0xFFFF), w.Word(kListBoxAtom); break;
        case DlgItemClass::ComboBox: w.Word(0xFFFF), w.Word(kComboBoxAtom); break;
        case DlgItemClass::Progress: w.Text("msctls_progress32"); break;
        }
        // An icon static names its icon in the text: it gets it by STM_SETICON instead.
        const bool iconStatic = it.cls == DlgItemClass::Static && (it.style & 0x1F) == SS_ICON;
        w.Text(iconStatic ? "" : it.text);
        w.Word(0);  // no creation data
    }
    if (defaultId) *defaultId = defId ? defId : IDOK;
    return std::move(w.Bytes());
}
