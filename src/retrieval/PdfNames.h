// Names of scans saved as PDF. A path "ends in .pdf" without regard to case; a scan
// saved as PDF takes its TIFF destination's name with the extension ".pdf", and one
// that falls back to its TIFF keeps that destination.
#pragma once

#include <string>

// TRUE when path's extension (from the last "." after the folder) is ".pdf" in any case.
bool IsPdfName(const std::string& path);

// path with its extension replaced by newExt (with its "."), or newExt appended when
// path has none: "C:\Scans\job007.TIF" -> "C:\Scans\job007.pdf".
std::string WithExtension(const std::string& path, const char* newExt);

inline std::string PdfFileName(const std::string& path) { return WithExtension(path, ".pdf"); }
