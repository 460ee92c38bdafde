#include "core/settings_document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/file_io.h"
#include "core/format_text.h"
#include "core/paths.h"

namespace {

char* CopyText(const char* text)
{
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr)
        memcpy(copy, text, length + 1);
    return copy;
}

void FreeEntry(SettingsEntry* entry)
{
    if (entry->ownsKey)
        free(entry->key);
    if (entry->ownsValue)
        free(entry->value);
    delete entry;
}

void FreeSection(SettingsSection* section)
{
    for (SettingsEntry* entry = section->firstEntry; entry != nullptr;) {
        SettingsEntry* next = entry->next;
        FreeEntry(entry);
        entry = next;
    }
    if (section->ownsName)
        free(section->name);
    delete section;
}

bool IsBodyByte(unsigned char byte)
{
    return byte == '\t' || byte >= 0x20;
}

}  // namespace

int LeadingDecimal(const char* text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    unsigned int value = 0;  // wraps like the C runtime's conversion instead of overflowing
    while (*p >= '0' && *p <= '9')
        value = value * 10u + (*p++ - '0');
    return static_cast<int>(negative ? 0u - value : value);
}

SettingsDocument::~SettingsDocument()
{
    Clear();
}

void SettingsDocument::Clear()
{
    for (SettingsSection* section = first_; section != nullptr;) {
        SettingsSection* next = section->next;
        FreeSection(section);
        section = next;
    }
    first_ = last_ = current_ = nullptr;
    FreePageBuffer(&loadBuffer_);
    path_[0] = '\0';
    pathUnread_ = false;
}

SettingsSection* SettingsDocument::AppendSection(char* name, bool owned)
{
    SettingsSection* section = new (std::nothrow) SettingsSection;
    if (section == nullptr)
        return nullptr;
    section->name = name;
    section->ownsName = owned;
    section->prev = last_;
    if (last_ != nullptr)
        last_->next = section;
    else
        first_ = section;
    last_ = section;
    return section;
}

// Appends a new section holding a copy of the name, without making it current; none when no
// name is given or memory runs out.
SettingsSection* SettingsDocument::AppendNamedSection(const char* name)
{
    if (name == nullptr)
        return nullptr;
    char* copy = CopyText(name);
    if (copy == nullptr)
        return nullptr;
    SettingsSection* section = AppendSection(copy, true);
    if (section == nullptr)
        free(copy);
    return section;
}

SettingsEntry* SettingsDocument::AppendEntry(SettingsSection* section, char* key, bool ownsKey,
                                             char* value, bool ownsValue)
{
    SettingsEntry* entry = new (std::nothrow) SettingsEntry;
    if (entry == nullptr)
        return nullptr;
    entry->key = key;
    entry->ownsKey = ownsKey;
    entry->value = value;
    entry->ownsValue = ownsValue;
    entry->prev = section->lastEntry;
    if (section->lastEntry != nullptr)
        section->lastEntry->next = entry;
    else
        section->firstEntry = entry;
    section->lastEntry = entry;
    ++section->entryCount;
    return entry;
}

bool SettingsDocument::Load(const char* fileName, bool missingIsEmpty)
{
    Clear();
    lineCount_ = 0;
    FormatText(path_, sizeof path_, "%s", fileName);

    FileHandle file = OpenForRead(fileName);
    if (file == kInvalidFile) {
        pathUnread_ = PathExists(fileName);
        return missingIsEmpty;
    }
    uint32_t size = FileSize32(file);
    AllocPageBuffer(&loadBuffer_, static_cast<size_t>(size) + 1);
    if (loadBuffer_ == nullptr) {
        CloseFile(file);
        return false;
    }
    char* data = static_cast<char*>(loadBuffer_);
    size_t got = 0;
    while (got < size) {  // one call normally; loop only in case the platform hands out less
        size_t n = ReadBytes(file, data + got, size - got);
        if (n == 0)
            break;
        got += n;
    }
    CloseFile(file);
    if (got < size) {
        FreePageBuffer(&loadBuffer_);
        return false;
    }
    if (size == 0 || data[0] == '\0')
        return true;
    if (!Parse(data, size)) {
        int failedLine = lineCount_;
        Clear();
        lineCount_ = failedLine;
        return false;
    }
    return true;
}

bool SettingsDocument::Parse(char* data, size_t size)
{
    char* end = data + size;  // *end is the zero byte after the content
    char* p = data;
    for (;;) {
        ++lineCount_;
        char* body = p;
        while (p < end && IsBodyByte(static_cast<unsigned char>(*p)))
            ++p;
        char* terminator = p;
        size_t length = static_cast<size_t>(terminator - body);
        unsigned char t = terminator < end ? static_cast<unsigned char>(*terminator) : 0;
        unsigned char n = terminator < end ? static_cast<unsigned char>(terminator[1]) : 0;
        *terminator = '\0';

        if (length >= 2 && body[0] == '[' && body[length - 1] == ']') {
            body[length - 1] = '\0';
            if (AppendSection(body + 1, false) == nullptr)
                return false;
        } else {
            if (last_ == nullptr)
                return false;
            if (length > 0) {
                char* equals = nullptr;
                if (body[0] != '\t') {
                    for (char* q = body; *q != '\0' && *q != '\t'; ++q) {
                        if (*q == '=') {
                            equals = q;
                            break;
                        }
                    }
                }
                SettingsEntry* entry;
                if (equals != nullptr) {
                    *equals = '\0';
                    entry = AppendEntry(last_, body, false, equals + 1, false);
                } else {
                    entry = AppendEntry(last_, nullptr, false, body, false);
                }
                if (entry == nullptr)
                    return false;
            }
        }

        if (terminator >= end || n == 0)
            return true;
        if (t == '\n') {
            p = terminator + 1;
        } else if (t == '\r' && n == '\n') {
            p = terminator + 2;
            if (p >= end || *p == '\0')
                return true;
        } else {
            return false;
        }
        if (p >= end)
            return true;
    }
}

bool SettingsDocument::Save(const char* fileName)
{
    if (fileName == nullptr) {
        if (pathUnread_ || path_[0] == '\0')
            return false;
        fileName = path_;
    }
    return WriteTo(fileName);
}

namespace {

class BufferedWriter {
public:
    explicit BufferedWriter(FileHandle file) : file_(file) { buffer_.reserve(kChunk); }
    void Put(const char* text)
    {
        size_t length = strlen(text);
        if (buffer_.size() + length > kChunk)
            Flush();
        buffer_.append(text, length);
    }
    bool Flush()
    {
        size_t done = 0;
        while (ok_ && done < buffer_.size()) {
            size_t n = WriteBytes(file_, buffer_.data() + done, buffer_.size() - done);
            if (n == 0)
                ok_ = false;
            done += n;
        }
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr size_t kChunk = 64 * 1024;
    FileHandle file_;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace

// Writes into a temporary file beside the target and replaces the target only when every byte
// was written and flushed, so a full disk or a failing device never destroys the old file.
bool SettingsDocument::WriteTo(const char* fileName)
{
    std::string temporary;
    FileHandle file = CreateTemporaryBeside(fileName, &temporary);
    if (file == kInvalidFile)
        return false;
    BufferedWriter out(file);
    for (SettingsSection* section = first_; section != nullptr; section = section->next) {
        out.Put("[");
        out.Put(section->name);
        out.Put("]\r\n");
        for (SettingsEntry* entry = section->firstEntry; entry != nullptr; entry = entry->next) {
            if (entry->key != nullptr) {
                out.Put(entry->key);
                out.Put("=");
            }
            out.Put(entry->value);
            out.Put("\r\n");
        }
    }
    bool ok = out.Flush() && FlushFile(file);
    ok = CloseFile(file) && ok;
    if (ok)
        ok = ReplaceFileWith(temporary.c_str(), fileName);
    if (!ok)
        DeleteFilePath(temporary.c_str());
    return ok;
}

SettingsSection* SettingsDocument::FindSection(const char* name)
{
    if (name == nullptr)
        return current_;
    current_ = nullptr;
    for (SettingsSection* section = first_; section != nullptr; section = section->next) {
        if (strcmp(section->name, name) == 0) {
            current_ = section;
            break;
        }
    }
    return current_;
}

SettingsEntry* SettingsDocument::FindEntry(const char* section, const char* key)
{
    if (key == nullptr)
        return nullptr;
    SettingsSection* found = FindSection(section);
    if (found == nullptr)
        return nullptr;
    for (SettingsEntry* entry = found->firstEntry; entry != nullptr; entry = entry->next) {
        if (entry->key != nullptr && strcmp(entry->key, key) == 0)
            return entry;
    }
    return nullptr;
}

bool SettingsDocument::AddSection(const char* name)
{
    SettingsSection* section = AppendNamedSection(name);
    if (section == nullptr)
        return false;
    current_ = section;
    return true;
}

bool SettingsDocument::DeleteSection(const char* name)
{
    SettingsSection* section = FindSection(name);
    current_ = nullptr;
    if (section == nullptr)
        return false;
    (section->prev != nullptr ? section->prev->next : first_) = section->next;
    (section->next != nullptr ? section->next->prev : last_) = section->prev;
    FreeSection(section);
    return true;
}

SettingsEntry* SettingsDocument::FirstEntry(const char* section)
{
    SettingsSection* found = FindSection(section);
    return found != nullptr ? found->firstEntry : nullptr;
}

const char* SettingsDocument::GetValue(const char* section, const char* key)
{
    SettingsEntry* entry = FindEntry(section, key);
    return entry != nullptr ? entry->value : nullptr;
}

bool SettingsDocument::SetValue(const char* section, const char* key, const char* value)
{
    if (key == nullptr || value == nullptr)
        return false;
    if (SettingsEntry* entry = FindEntry(section, key)) {
        char* copy = CopyText(value);
        if (copy == nullptr)
            return false;
        if (entry->ownsValue)
            free(entry->value);
        entry->value = copy;
        entry->ownsValue = true;
        return true;
    }
    SettingsSection* target = current_;  // the lookup left the named section current, if any
    if (target == nullptr && (target = AppendNamedSection(section)) == nullptr)
        return false;
    char* keyCopy = CopyText(key);
    char* valueCopy = CopyText(value);
    if (keyCopy == nullptr || valueCopy == nullptr ||
        AppendEntry(target, keyCopy, true, valueCopy, true) == nullptr) {
        free(keyCopy);
        free(valueCopy);
        return false;
    }
    return true;
}

bool SettingsDocument::DeleteKey(const char* section, const char* key)
{
    SettingsEntry* entry = FindEntry(section, key);
    if (entry == nullptr)
        return false;
    SettingsSection* owner = current_;  // the lookup left the entry's section current
    (entry->prev != nullptr ? entry->prev->next : owner->firstEntry) = entry->next;
    (entry->next != nullptr ? entry->next->prev : owner->lastEntry) = entry->prev;
    --owner->entryCount;
    FreeEntry(entry);
    return true;
}

bool SettingsDocument::InsertLine(const char* section, int position, const char* text)
{
    if (text == nullptr)
        return false;
    SettingsSection* target = FindSection(section);
    if (target == nullptr && (target = AppendNamedSection(section)) == nullptr)
        return false;
    char* copy = CopyText(text);
    if (copy == nullptr)
        return false;
    if (position < 0 || position >= target->entryCount) {
        if (AppendEntry(target, nullptr, false, copy, true) == nullptr) {
            free(copy);
            return false;
        }
        return true;
    }
    SettingsEntry* before = target->firstEntry;
    for (int i = 0; i < position; ++i)
        before = before->next;
    SettingsEntry* entry = new (std::nothrow) SettingsEntry;
    if (entry == nullptr) {
        free(copy);
        return false;
    }
    entry->value = copy;
    entry->ownsValue = true;
    entry->next = before;
    entry->prev = before->prev;
    (before->prev != nullptr ? before->prev->next : target->firstEntry) = entry;
    before->prev = entry;
    ++target->entryCount;
    return true;
}

bool SettingsDocument::GetInt(const char* section, const char* key, int* out)
{
    const char* value = GetValue(section, key);
    if (value == nullptr)
        return false;
    *out = LeadingDecimal(value);
    return true;
}

bool SettingsDocument::SetInt(const char* section, const char* key, int value)
{
    char text[16];
    FormatText(text, sizeof text, "%d", value);
    return SetValue(section, key, text);
}

int SettingsDocument::GetIntList(const char* section, const char* key, int* out, int capacity)
{
    const char* p = GetValue(section, key);
    if (p == nullptr || *p == '\0' || capacity <= 0)
        return 0;
    int count = 0;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (*p == '\0')
            break;
        out[count] = LeadingDecimal(p);
        while ((*p >= '0' && *p <= '9') || *p == '-')
            ++p;
        while (*p == ' ')
            ++p;
        ++count;
        if (count >= capacity || *p != ',')
            break;
        ++p;
        if (*p == '\0')
            break;
    }
    return count;
}

bool SettingsDocument::SetIntList(const char* section, const char* key, const int* values, int count)
{
    char text[1024];
    text[0] = '\0';
    size_t length = 0;
    for (int i = 0; i < count; ++i) {
        if (length > 1022)
            break;
        FormatText(text + length, sizeof text - length, i + 1 < count ? "%d," : "%d", values[i]);
        length = strlen(text);
    }
    return SetValue(section, key, text);
}

bool SettingsDocument::WriteIdentity(const char* name, int version)
{
    SetValue("INFOMATION", "APPLICATIONNAME", name);
    char text[32];
    FormatText(text, sizeof text, "%d.%d.%d", version >> 24, (version >> 16) & 0xFF, version & 0xFFFF);
    return SetValue("INFOMATION", "APPLICATIONVERSION", text);
}

int SettingsDocument::CheckIdentity(const char* name)
{
    const char* stored = GetValue("INFOMATION", "APPLICATIONNAME");
    if (stored == nullptr || strcmp(stored, name) != 0)
        return 0;
    const char* version = GetValue("INFOMATION", "APPLICATIONVERSION");
    if (version == nullptr)
        return 0;
    int major = LeadingDecimal(version);
    const char* dot = strchr(version, '.');
    int minor = 0;
    int patch = 0;
    if (dot != nullptr) {
        minor = LeadingDecimal(dot + 1);
        dot = strchr(dot + 1, '.');
        if (dot != nullptr)
            patch = LeadingDecimal(dot + 1);
    }
    // A plain sum without masking, done in unsigned arithmetic so odd versions cannot overflow.
    return static_cast<int>(static_cast<unsigned>(major) * 16777216u +
                            static_cast<unsigned>(minor) * 65536u + static_cast<unsigned>(patch));
}

bool SettingsScope::Open(SettingsDocument* document, const char* sectionName,
                         const SettingsScope* parent)
{
    document_ = document;
    parent_ = parent;
    if (document->FindSection(sectionName) == nullptr && !document->AddSection(sectionName)) {
        section_ = nullptr;
        return false;
    }
    section_ = document->FindSection(nullptr);
    return true;
}

const char* SettingsScope::Get(const char* key) const
{
    if (document_ == nullptr)
        return nullptr;
    if (section_ != nullptr)
        document_->MakeCurrent(section_);
    return document_->GetValue(nullptr, key);
}

bool SettingsScope::Set(const char* key, const char* value) const
{
    if (document_ == nullptr)
        return false;
    if (section_ != nullptr)
        document_->MakeCurrent(section_);
    return document_->SetValue(nullptr, key, value);
}

bool SettingsScope::Remove(const char* key) const
{
    if (document_ == nullptr)
        return false;
    if (section_ != nullptr)
        document_->MakeCurrent(section_);
    return document_->DeleteKey(nullptr, key);
}
