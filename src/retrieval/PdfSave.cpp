// Retrieval into PDF files. The printer's answer for a scan is gathered in memory;
// once it is the whole file it is converted and written through the same local copy
// as a TIFF (temporary file, synced, renamed, folder synced), so the dispatcher's
// automatic deletion follows only a PDF that holds every page and is on disk. A scan
// that cannot be put into a PDF whole is written as the TIFF it is, under its .TIF
// name, and named in one box when the batch is over.
#include "app/MainFrm.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "res/resource.h"
#include "retrieval/PdfNames.h"
#include "retrieval/PdfWriter.h"
#include "retrieval/ProgressMath.h"

#include <cstring>

namespace {

// Scans up to this size are converted in memory; a larger one is saved as its TIFF.
constexpr std::uint64_t kMaxConvertedScan = 256ull * 1024 * 1024;

// The Save As dialog's second file type.
constexpr DWORD kPdfType = 2;

}  // namespace

BOOL CMainFrame::ChosePdf(DWORD filterIndex)
{
    const std::string chosen = m_szChosenPath;
    if (filterIndex != kPdfType && !IsPdfName(chosen)) return FALSE;
    // The PDF type with another extension typed: the file is a PDF, and named so.
    const std::string pdf = PdfFileName(chosen);
    if (pdf.size() < sizeof m_szChosenPath) std::memcpy(m_szChosenPath, pdf.c_str(), pdf.size() + 1);
    return TRUE;
}

BOOL CMainFrame::BeginScanGathering()
{
    m_scanBytes.clear();
    m_bGatheringScan = FALSE;
    const DirEntry* e = CurrentEntry();
    const std::int64_t size = e ? ReadFileSize(FieldText(e->size).c_str()) : -1;
    if (size >= 0 && static_cast<std::uint64_t>(size) <= kMaxConvertedScan) {
        m_scanBytes.reserve(static_cast<std::size_t>(size));
        m_bGatheringScan = TRUE;
        return TRUE;
    }
    // Too large to hold: the TIFF is written as it arrives, under its .TIF name (a
    // name the user was not asked about, so nothing there is replaced).
    const std::string tif = WithExtension(m_szDestPath, ".TIF");
    std::memcpy(m_szDestPath, tif.c_str(), tif.size() + 1);  // ".pdf" and ".TIF" are as long
    m_bMayReplace = FALSE;
    m_notConverted.push_back(tif + ": " + GetStringRes(IDS_TOO_LARGE_TO_CONVERT));
    return FALSE;
}

BOOL CMainFrame::CommitScan()
{
    m_bGatheringScan = FALSE;
    std::string tiff;
    tiff.swap(m_scanBytes);
    std::string pdf, why;
    const bool converted = TiffToPdf(reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size(), pdf, why);
    tiff.shrink_to_fit();
    if (!converted) {
        // Nothing of the scan is lost: its TIFF is kept as it came, under a name the
        // user was not asked about, so nothing there is replaced.
        const std::string tif = WithExtension(m_szDestPath, ".TIF");
        std::memcpy(m_szDestPath, tif.c_str(), tif.size() + 1);
        m_bMayReplace = FALSE;
        OutputDebugString("CommitScan() keeps the TIFF\n");
    }
    const std::string& bytes = converted ? pdf : tiff;
    if (!OpenOutFile()) return FALSE;
    if (!WriteOutFile(bytes.data(), bytes.size())) {
        DiscardOutFile();
        return FALSE;
    }
    if (!CommitOutFile()) return FALSE;
    if (!converted) m_notConverted.push_back(std::string(m_szDestPath) + ": " + why);
    return TRUE;
}

void CMainFrame::ReportNotConverted()
{
    if (m_notConverted.empty()) return;
    std::string list;
    for (const std::string& line : m_notConverted) list += line + "\n";
    m_notConverted.clear();
    ReportLocalFile(IDS_NOT_PDF, list, IDS_NOT_PDF_CAPTION);
}
