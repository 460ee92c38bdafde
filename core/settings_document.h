#pragma once
#include <cstddef>

// The ordered, sectioned key/value text document that every file of the program is made of.
// Read in one piece and parsed in place; written back in one piece. Texts are code page 932
// bytes and pass through untouched. Lookups are by exact, case-sensitive name, first match;
// sections and lines keep file order, duplicates included.

struct SettingsEntry {
    char* key = nullptr;  // none for a keyless line
    bool ownsKey = false;
    char* value = nullptr;  // never none
    bool ownsValue = false;
    SettingsEntry* next = nullptr;
    SettingsEntry* prev = nullptr;
};

struct SettingsSection {
    char* name = nullptr;
    bool ownsName = false;
    SettingsEntry* firstEntry = nullptr;
    SettingsEntry* lastEntry = nullptr;
    SettingsSection* next = nullptr;
    SettingsSection* prev = nullptr;
    int entryCount = 0;  // lets appends at the end skip the walk
};

class SettingsDocument {
public:
    SettingsDocument() = default;
    ~SettingsDocument();
    SettingsDocument(const SettingsDocument&) = delete;
    SettingsDocument& operator=(const SettingsDocument&) = delete;

    // Replaces the whole content by the file's. A file that does not open counts as loaded
    // (empty) when missingIsEmpty is set.
    bool Load(const char* fileName, bool missingIsEmpty);
    // Writes the document; none means the path remembered by the last Load.
    bool Save(const char* fileName = nullptr);
    // Empties the document and the remembered path; keeps the line counter.
    void Clear();
    int LineCount() const { return lineCount_; }
    const char* Path() const { return path_; }

    // A section name given as none means the current section.
    SettingsSection* FindSection(const char* name);
    bool AddSection(const char* name);
    bool DeleteSection(const char* name);
    SettingsEntry* FirstEntry(const char* section);
    const char* GetValue(const char* section, const char* key);
    bool SetValue(const char* section, const char* key, const char* value);
    // Removes the first line with `key`; false when there is none.
    bool DeleteKey(const char* section, const char* key);
    bool InsertLine(const char* section, int position, const char* text);
    bool GetInt(const char* section, const char* key, int* out);
    bool SetInt(const char* section, const char* key, int value);
    int GetIntList(const char* section, const char* key, int* out, int capacity);
    bool SetIntList(const char* section, const char* key, const int* values, int count);

    // The INFOMATION identity block: the kind of document and its version
    // (major in bits 24-31, minor 16-23, patch 0-15).
    bool WriteIdentity(const char* name, int version);
    int CheckIdentity(const char* name);

    void MakeCurrent(SettingsSection* section) { current_ = section; }

private:
    bool Parse(char* data, size_t size);
    SettingsSection* AppendSection(char* name, bool owned);
    SettingsSection* AppendNamedSection(const char* name);
    SettingsEntry* AppendEntry(SettingsSection* section, char* key, bool ownsKey, char* value,
                               bool ownsValue);
    SettingsEntry* FindEntry(const char* section, const char* key);
    bool WriteTo(const char* fileName);

    SettingsSection* first_ = nullptr;
    SettingsSection* last_ = nullptr;
    void* loadBuffer_ = nullptr;
    char path_[260] = {};
    SettingsSection* current_ = nullptr;
    int lineCount_ = 0;
    // Set when the remembered file exists but could not be opened (locked, no access): a save to
    // the remembered path must not replace a file whose contents were never read.
    bool pathUnread_ = false;
};

// The leading decimal value of a text: white space, an optional sign, digits; no digits give 0.
int LeadingDecimal(const char* text);

// A handle on one section of a document with a link to a parent scope. Owns nothing.
class SettingsScope {
public:
    // Binds the scope, creating the section when it is missing.
    bool Open(SettingsDocument* document, const char* sectionName, const SettingsScope* parent);
    const char* Get(const char* key) const;
    bool Set(const char* key, const char* value) const;
    bool Remove(const char* key) const;
    const SettingsScope* Parent() const { return parent_; }

private:
    SettingsDocument* document_ = nullptr;
    SettingsSection* section_ = nullptr;
    const SettingsScope* parent_ = nullptr;
};
