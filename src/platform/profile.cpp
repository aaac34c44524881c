#include "platform/profile.h"

#include "platform/profile_file.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string g_systemFolder;

struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\n", "\r\n", or "" for a last line without one
};

struct IniFile {
    std::string bom;  // a UTF-8 byte order mark found at the start, kept on writing
    std::vector<Line> lines;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IsComment(std::string_view line)
{
    std::string_view t = Trim(line);
    return !t.empty() && t.front() == ';';
}

// "[name]" (blanks allowed around the brackets and the name).
bool ParseSection(std::string_view line, std::string_view* name)
{
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value"; keyEnd receives the position in line just after the key's last character.
bool ParseKey(std::string_view line, std::string_view* key, std::string_view* value, size_t* keyEnd)
{
    if (IsComment(line)) return false;
    std::string_view dummy;
    if (ParseSection(line, &dummy)) return false;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *key = Trim(line.substr(0, eq));
    if (key->empty()) return false;
    if (value != nullptr) *value = Trim(line.substr(eq + 1));
    if (keyEnd != nullptr) *keyEnd = static_cast<size_t>(key->data() - line.data()) + key->size();
    return true;
}

std::string ResolvePath(const char* file)
{
    std::string path(file);
    if (path.find_first_of(kPathSeparators) == std::string::npos && !g_systemFolder.empty()) {
        std::string full = g_systemFolder;
        if (std::strchr(kPathSeparators, full.back()) == nullptr) full += kPathSeparators[0];
        return full + path;
    }
    return path;
}

IniFile SplitLines(const std::string& content)
{
    IniFile ini;
    size_t pos = 0;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        ini.bom = content.substr(0, 3);
        pos = 3;
    }
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = content.substr(pos);
            pos = content.size();
        } else {
            size_t end = nl;
            if (end > pos && content[end - 1] == '\r') {
                --end;
                line.eol = "\r\n";
            } else {
                line.eol = "\n";
            }
            line.text = content.substr(pos, end - pos);
            pos = nl + 1;
        }
        ini.lines.push_back(std::move(line));
    }
    return ini;
}

// Index of the first line "[section]", or -1.
int FindSection(const IniFile& ini, std::string_view section)
{
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        std::string_view name;
        if (ParseSection(ini.lines[i].text, &name) && SameName(name, section)) return static_cast<int>(i);
    }
    return -1;
}

// One past the last line of the section whose header is at index header.
int SectionEnd(const IniFile& ini, int header)
{
    for (size_t i = static_cast<size_t>(header) + 1; i < ini.lines.size(); ++i) {
        std::string_view name;
        if (ParseSection(ini.lines[i].text, &name)) return static_cast<int>(i);
    }
    return static_cast<int>(ini.lines.size());
}

int FindKey(const IniFile& ini, int header, int end, std::string_view key)
{
    for (int i = header + 1; i < end; ++i) {
        std::string_view k;
        if (ParseKey(ini.lines[static_cast<size_t>(i)].text, &k, nullptr, nullptr) && SameName(k, key)) return i;
    }
    return -1;
}

// New lines take the line end the file already uses.
std::string DefaultEol(const IniFile& ini)
{
    for (const Line& l : ini.lines) {
        if (!l.eol.empty()) return l.eol;
    }
    return "\n";
}

bool HasLineBreak(const char* s) { return s != nullptr && std::strpbrk(s, "\r\n") != nullptr; }

std::string Join(const IniFile& ini)
{
    std::string out = ini.bom;
    for (const Line& l : ini.lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

}  // namespace

void SetProfileSystemFolder(const char* folder) { g_systemFolder = folder != nullptr ? folder : ""; }

DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* out, DWORD size,
                              const char* file)
{
    if (out == nullptr || size == 0) return 0;

    std::string value = def != nullptr ? def : "";
    std::string content;
    if (section != nullptr && key != nullptr && file != nullptr && file[0] != '\0' &&
        ReadProfileFile(ResolvePath(file), &content) == ProfileRead::Ok) {
        IniFile ini = SplitLines(content);
        int header = FindSection(ini, Trim(section));
        if (header >= 0) {
            int k = FindKey(ini, header, SectionEnd(ini, header), Trim(key));
            if (k >= 0) {
                std::string_view name;
                std::string_view v;
                ParseKey(ini.lines[static_cast<size_t>(k)].text, &name, &v, nullptr);
                if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                    v = v.substr(1, v.size() - 2);
                value.assign(v.data(), v.size());
            }
        }
    }

    size_t n = value.size();
    if (n > static_cast<size_t>(size) - 1) n = static_cast<size_t>(size) - 1;
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<DWORD>(n);
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file)
{
    if (section == nullptr || file == nullptr || file[0] == '\0') return FALSE;
    const std::string_view sec = Trim(section);
    if (sec.empty() || sec.find(']') != std::string_view::npos || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value))
        return FALSE;
    std::string_view k;
    if (key != nullptr) {
        k = Trim(key);
        if (k.empty() || k.find('=') != std::string_view::npos || k.front() == '[' || k.front() == ';') return FALSE;
    }

    const std::string path = ResolvePath(file);
    std::string content;
    if (ReadProfileFile(path, &content) == ProfileRead::Failed) return FALSE;
    IniFile ini = SplitLines(content);
    const std::string eol = DefaultEol(ini);

    int header = FindSection(ini, sec);
    if (key == nullptr) {
        // Delete the whole section.
        if (header < 0) return TRUE;
        int end = SectionEnd(ini, header);
        ini.lines.erase(ini.lines.begin() + header, ini.lines.begin() + end);
        return ReplaceProfileFile(path, Join(ini)) ? TRUE : FALSE;
    }

    if (header < 0) {
        if (value == nullptr) return TRUE;  // nothing to delete
        if (!ini.lines.empty() && ini.lines.back().eol.empty()) ini.lines.back().eol = eol;
        ini.lines.push_back(Line{"[" + std::string(sec) + "]", eol});
        ini.lines.push_back(Line{std::string(k) + "=" + value, eol});
        return ReplaceProfileFile(path, Join(ini)) ? TRUE : FALSE;
    }

    const int end = SectionEnd(ini, header);
    const int found = FindKey(ini, header, end, k);
    if (found >= 0) {
        Line& line = ini.lines[static_cast<size_t>(found)];
        if (value == nullptr) {
            ini.lines.erase(ini.lines.begin() + found);
        } else {
            // Keep the line's indentation and the key as the file spells it.
            std::string_view name;
            size_t keyEnd = 0;
            ParseKey(line.text, &name, nullptr, &keyEnd);
            line.text = line.text.substr(0, keyEnd) + "=" + value;
        }
        return ReplaceProfileFile(path, Join(ini)) ? TRUE : FALSE;
    }

    if (value == nullptr) return TRUE;  // nothing to delete
    // A new key goes after the section's last non-blank line, so blank lines
    // that separate it from the next section stay where they are.
    int after = header;
    for (int i = header + 1; i < end; ++i) {
        if (!Trim(ini.lines[static_cast<size_t>(i)].text).empty()) after = i;
    }
    Line& prev = ini.lines[static_cast<size_t>(after)];
    if (prev.eol.empty()) prev.eol = eol;
    ini.lines.insert(ini.lines.begin() + after + 1, Line{std::string(k) + "=" + value, eol});
    return ReplaceProfileFile(path, Join(ini)) ? TRUE : FALSE;
}
