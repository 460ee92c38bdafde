#pragma once
// How the archive's names and passwords are written, and whether it is read back before it
// replaces the target. Every member's 0 is the program's original behaviour.
struct ArchiveOptions {
    int nameCode = 0;    // 0: code page 932 names; 1: plus the Unicode Path extra field 0x7075; 2: UTF-8 names, bit 11
    int encryption = 0;  // 0: traditional PKWARE encryption; 1: AES-256 (WinZip AE-2 layout, see below)
    int verify = 0;      // 1: read the archive back before it replaces the target
};
