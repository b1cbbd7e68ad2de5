// The one source of the program's version and identity: read by the resource script
// (VERSIONINFO) and by make_strings.py (the About message). Object-like #defines of numbers and
// complete string literals only, since resource compilers neither concatenate nor stringize.
#ifndef QUILLGATE_RES_VERSION_H_
#define QUILLGATE_RES_VERSION_H_

#define QG_VERSION_MAJOR 1
#define QG_VERSION_MINOR 0
#define QG_VERSION_PATCH 0
#define QG_VERSION_BUILD 1

// FILEVERSION / PRODUCTVERSION form, and the string form of the same four numbers. Keep the
// two in step with the numbers above; the resource tests compare them in the built executable.
#define QG_VERSION_NUMBERS QG_VERSION_MAJOR, QG_VERSION_MINOR, QG_VERSION_PATCH, QG_VERSION_BUILD
#define QG_VERSION_STRING "1, 0, 0, 1"

#define QG_PRODUCT_NAME "QuillGate"
#define QG_FILE_DESCRIPTION "QuillGate Launcher Application"
#define QG_INTERNAL_NAME "quillgate"
#define QG_ORIGINAL_FILENAME "quillgate.exe"
#define QG_COMPANY_NAME "QuillGate Project"
#define QG_LEGAL_COPYRIGHT "Copyright (C) 2026 QuillGate Project"

// The single line the About item of the system menu shows, in English: strings.tsv must say the
// same, and keep its version, years and address in every language (make_strings.py checks).
#define QG_ABOUT_TEXT \
  "QuillGate 1.0 - Copyright (C) 2025-2026 QuillGate Project - https://quillgate.example.org"

#endif  // QUILLGATE_RES_VERSION_H_
