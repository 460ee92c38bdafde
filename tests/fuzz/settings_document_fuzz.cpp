// Loads the input as a settings file, applies the edits after kEditMark, saves, reloads and saves
// again: the same bytes but for blank lines. An edit is one LF-ended line of fields split by 0x01:
// "S", section, key, value: SetValue (GetValue gives it back); "I", section, position, text:
// InsertLine; else DeleteSection. Nothing is escaped on save, so the bytes are compared only when
// no edit text holds a control byte other than TAB.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/settings_document.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char kEditMark[] = "\nEDITS\x01\n";

std::vector<std::string> SplitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::string SaveAndRead(SettingsDocument& document, const char* path)
{
    Check(document.Save(path), "Save failed");
    return ReadWholeFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1 << 16))
        return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t mark = input.find(kEditMark);
    WorkDirectory inside;
    inside.Dir().WriteFile("in.ini", input.substr(0, mark));
    SettingsDocument document;
    if (!document.Load("in.ini", false))
        Check(document.LineCount() >= 1 && SaveAndRead(document, "failed.ini").empty(),
              "a failed load without its line, or with text left in the document");
    bool storable = true;
    std::string edits = mark == std::string::npos ? "" : input.substr(mark + sizeof kEditMark - 1);
    for (const std::string& line : edits.empty() ? std::vector<std::string>{} : SplitOn(edits, '\n')) {
        std::vector<std::string> fields = SplitOn(line, '\x01');
        fields.resize(std::max<size_t>(fields.size(), 4));
        const char *section = fields[1].c_str(), *key = fields[2].c_str(), *value = fields[3].c_str();
        if (fields[0] == "S") {
            bool set = document.SetValue(section, key, value);
            const char* got = set ? document.GetValue(section, key) : value;
            Check(got != nullptr && strcmp(got, value) == 0, "SetValue then GetValue");
        } else if (fields[0] == "I") {
            document.InsertLine(section, LeadingDecimal(key), value);
        } else {
            document.DeleteSection(section);
        }
        for (unsigned char c : line)
            storable = storable && (c >= 0x20 || c == '\t' || c == 1);
    }
    std::string first = SaveAndRead(document, "first.ini"), kept;
    for (const std::string& saved : SplitOn(first, '\n'))  // without the blank lines
        kept += saved == "\r" ? "" : saved + "\n";
    SettingsDocument reloaded;
    bool loaded = reloaded.Load("first.ini", false);
    Check(!storable || (loaded && SaveAndRead(reloaded, "second.ini") + "\n" == kept),
          "a saved file does not load, or saves other bytes after a reload");
    return 0;
}
