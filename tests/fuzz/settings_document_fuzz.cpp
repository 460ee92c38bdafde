// Loads the input as a settings file, applies the edits that follow it, saves, reloads and saves
// again: the two saved files must be the same bytes (blank lines aside, which a reload drops).
//
// Input: the file's bytes, then optionally kEditMark and one edit per LF-ended line, its fields
// separated by 0x01: an operation letter, then section, key (or name, position) and value.
//   S section key value   SetValue, after which GetValue must give the value
//   N section key number  SetInt, after which GetInt must give it
//   L section key list    SetIntList of the comma-separated numbers, read back with GetIntList
//   I section pos text    InsertLine
//   A name / D name       AddSection / DeleteSection
//   W name version        WriteIdentity, after which CheckIdentity must give the version
//   O section key value   SettingsScope::Open (its parent: the scope opened before), Set, Get
//   anything else         lookups only
// Nothing is escaped on save, so an edit text holding a control byte other than TAB may change
// the document's shape on reload; the bytes are compared only when no edit text holds one.

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "core/settings_document.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/temp_dir.h"

namespace {

const char kEditMark[] = "\nEDITS\x01\n";
constexpr size_t kMaxInput = 1 << 16;
constexpr int kMaxListValues = 300;  // enough to pass the 1023-byte cut of a stored list

std::vector<std::string> SplitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

bool HasControlByte(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\t')
            return true;
    }
    return false;
}

// Saved text without its blank lines: a keyless line with empty text is written as one and
// dropped by the next load.
std::string WithoutBlankLines(const std::string& saved)
{
    std::string kept;
    for (size_t start = 0; start < saved.size();) {
        size_t end = saved.find("\r\n", start);
        end = end == std::string::npos ? saved.size() : end + 2;
        if (end - start != 2)
            kept.append(saved, start, end - start);
        start = end;
    }
    return kept;
}

class EditRunner {
public:
    explicit EditRunner(SettingsDocument* document) : document_(document) {}

    // False when an edit text holds a byte that the saved file cannot carry unchanged.
    bool Run(const std::vector<std::string>& fields)
    {
        std::string op = fields[0];
        const char* a = fields.size() > 1 ? fields[1].c_str() : nullptr;
        const char* b = fields.size() > 2 ? fields[2].c_str() : nullptr;
        const char* c = fields.size() > 3 ? fields[3].c_str() : "";
        bool storable = true;
        for (size_t i = 1; i < fields.size(); ++i)
            storable = storable && !HasControlByte(fields[i]);
        if (op == "S") {
            if (document_->SetValue(a, b, c))
                CheckSame(document_->GetValue(a, b), c, "SetValue then GetValue");
        } else if (op == "N") {
            int value = LeadingDecimal(c);
            int got = ~value;
            if (document_->SetInt(a, b, value))
                Check(document_->GetInt(a, b, &got) && got == value, "SetInt then GetInt");
        } else if (op == "L") {
            SetAndReadList(a, b, c);
        } else if (op == "I") {
            document_->InsertLine(a, b != nullptr ? LeadingDecimal(b) : 0, c);
        } else if (op == "A") {
            document_->AddSection(a);
        } else if (op == "D") {
            document_->DeleteSection(a);
        } else if (op == "W" && a != nullptr) {
            int version = b != nullptr ? LeadingDecimal(b) : 0;
            if (document_->WriteIdentity(a, version))
                Check(document_->CheckIdentity(a) == version, "WriteIdentity then CheckIdentity");
        } else if (op == "O" && a != nullptr) {
            scopes_.emplace_back();
            size_t count = scopes_.size();
            const SettingsScope* parent = count > 1 ? &scopes_[count - 2] : nullptr;
            SettingsScope& scope = scopes_.back();
            if (scope.Open(document_, a, parent) && b != nullptr && scope.Set(b, c))
                CheckSame(scope.Get(b), c, "SettingsScope Set then Get");
        } else {
            Lookups(a, b);
        }
        return storable;
    }

private:
    void SetAndReadList(const char* section, const char* key, const char* list)
    {
        std::vector<int> values;
        for (const std::string& item : SplitOn(list, ','))
            values.push_back(LeadingDecimal(item.c_str()));
        if (values.size() > kMaxListValues)
            values.resize(kMaxListValues);
        if (!document_->SetIntList(section, key, values.data(), static_cast<int>(values.size())))
            return;
        int read[kMaxListValues];
        int count = document_->GetIntList(section, key, read, kMaxListValues);
        Check(count >= 1 && count <= static_cast<int>(values.size()), "GetIntList count");
        // The last value read may have been cut at the 1023-byte limit.
        for (int i = 0; i + 1 < count; ++i)
            Check(read[i] == values[i], "SetIntList then GetIntList");
    }

    void Lookups(const char* section, const char* key)
    {
        int number = 0;
        int list[8];
        document_->GetInt(section, key, &number);
        document_->GetIntList(section, key, list, 8);
        document_->CheckIdentity(key != nullptr ? key : "");
        for (SettingsEntry* e = document_->FirstEntry(section); e != nullptr; e = e->next)
            Check(e->value != nullptr, "an entry without a value");
    }

    SettingsDocument* document_;
    std::deque<SettingsScope> scopes_;  // a deque keeps the parents where they are
};

std::string SaveAndRead(SettingsDocument& document, const char* path)
{
    Check(document.Save(path), "Save failed");
    return ReadWholeFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t mark = input.find(kEditMark);
    std::string file = input.substr(0, mark);
    std::string edits = mark == std::string::npos ? "" : input.substr(mark + strlen(kEditMark));

    WorkDirectory inside;
    SettingsDocument document;
    WriteWholeFile("in.ini", file);
    if (!document.Load("in.ini", false)) {
        Check(document.LineCount() >= 1, "a failed load without its line");
        Check(SaveAndRead(document, "failed.ini").empty(),
              "a failed load left text in the document");
    }

    EditRunner runner(&document);
    bool storable = true;
    if (!edits.empty()) {
        for (const std::string& line : SplitOn(edits, '\n'))
            storable = runner.Run(SplitOn(line, '\x01')) && storable;
    }

    std::string first = SaveAndRead(document, "first.ini");
    SettingsDocument reloaded;
    bool loaded = reloaded.Load("first.ini", false);
    if (!storable)
        return 0;
    Check(loaded, "the saved file does not load");
    std::string second = SaveAndRead(reloaded, "second.ini");
    CheckSame(second, WithoutBlankLines(first), "saved again after a reload");
    return 0;
}
