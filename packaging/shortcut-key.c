/* The installer's custom action: adds the Start-menu shortcut, with the key the public property
 * SHORTCUTKEY names, to the installation's Shortcut table. The table's Hotkey column takes a
 * number, not a formatted text, so no property reaches it without this. The row is temporary:
 * it lives for this installation only, and an uninstall (which runs this again) finds it to
 * remove the shortcut. Runs before costing, in the installer's process; the launcher itself
 * never loads it.
 *
 * SHORTCUTKEY: empty (not given) for Ctrl+Alt+R; "none" for no key; modifiers and a key joined
 * by "+" (ctrl+alt+q, ctrl+shift+f5: a letter, a digit or F1 to F24); or the number
 * IShellLink::SetHotkey takes (virtual key in the low byte, HOTKEYF_* in the high byte). */
#include <windows.h>
#include <commctrl.h>
#include <msi.h>
#include <msiquery.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kDefaultKey = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'R', kNoKey = 0, kBadKey = -1 };

static int Token(const char* text, size_t length, const char* word) {
  return strlen(word) == length && _strnicmp(text, word, length) == 0;
}

static int ParseKey(const char* text) {
  if (!*text) return kDefaultKey;
  if (_stricmp(text, "none") == 0) return kNoKey;
  if (isdigit((unsigned char)*text)) {
    char* end;
    const unsigned long number = strtoul(text, &end, 10);
    /* A virtual key (1 to 254) and nothing above the four modifier flags. */
    if (*end || (number & 0xFF) == 0 || (number & 0xFF) == 0xFF || number > 0x0FFF) return kBadKey;
    return (int)number;
  }
  int modifiers = 0;
  for (;;) {
    const char* plus = strchr(text, '+');
    if (!plus) break;
    const size_t length = (size_t)(plus - text);
    const int flag = Token(text, length, "ctrl") || Token(text, length, "control") ? HOTKEYF_CONTROL
                     : Token(text, length, "alt")                                  ? HOTKEYF_ALT
                     : Token(text, length, "shift")                                ? HOTKEYF_SHIFT
                                                                                   : 0;
    if (!flag || (modifiers & flag)) return kBadKey;
    modifiers |= flag;
    text = plus + 1;
  }
  /* Windows answers a shortcut's key only with a modifier held, as its Properties page asks. */
  if (!modifiers) return kBadKey;
  const size_t length = strlen(text);
  if (length == 1 && isalnum((unsigned char)*text))
    return modifiers << 8 | toupper((unsigned char)*text);
  if ((length == 2 || length == 3) && toupper((unsigned char)*text) == 'F' &&
      isdigit((unsigned char)text[1]) && text[1] != '0') {
    char* end;
    const unsigned long n = strtoul(text + 1, &end, 10);
    if (!*end && n >= 1 && n <= 24) return modifiers << 8 | (int)(VK_F1 + n - 1);
  }
  return kBadKey;
}

/* The key an installation gave is kept in the registry (SAVEDSHORTCUTKEY reads it back), so that
 * an upgrade or a repair that names none keeps it. */
__declspec(dllexport) UINT __stdcall AddStartMenuShortcut(MSIHANDLE install) {
  char text[64];
  DWORD size = sizeof text;
  const UINT got = MsiGetPropertyA(install, "SHORTCUTKEY", text, &size);
  int key = got == ERROR_SUCCESS ? ParseKey(text) : kBadKey;
  if (key == kBadKey) {
    const MSIHANDLE message = MsiCreateRecord(1);
    MsiRecordSetStringA(message, 0,
                        "SHORTCUTKEY=[1] is not a key QuillGate's shortcut can take. Give none, "
                        "modifiers and a key such as ctrl+alt+r or ctrl+shift+f5, or leave it out "
                        "for Ctrl+Alt+R.");
    MsiRecordSetStringA(message, 1, got == ERROR_SUCCESS ? text : "(too long)");
    MsiProcessMessage(install, (INSTALLMESSAGE)(INSTALLMESSAGE_ERROR | MB_OK), message);
    MsiCloseHandle(message);
    return ERROR_INSTALL_FAILURE;
  }
  size = sizeof text;
  if (!*text && MsiGetPropertyA(install, "SAVEDSHORTCUTKEY", text, &size) == ERROR_SUCCESS &&
      ParseKey(text) != kBadKey)
    key = ParseKey(text); /* a value spoilt in the registry never stops an uninstall */
  if (key == kNoKey)
    strcpy(text, "none");
  else
    snprintf(text, sizeof text, "%d", key);
  MsiSetPropertyA(install, "SHORTCUTKEYUSED", text);
  const MSIHANDLE database = MsiGetActiveDatabase(install);
  MSIHANDLE view = 0;
  UINT result = MsiDatabaseOpenViewA(
      database,
      "INSERT INTO `Shortcut` (`Shortcut`, `Directory_`, `Name`, `Component_`, `Target`, "
      "`Description`, `Hotkey`, `WkDir`) VALUES ('StartMenu', 'ProgramMenuFolder', 'QuillGate', "
      "'Program', '[#quillgate.exe]', 'Open a program, folder, document or web address', ?, "
      "'INSTALLDIR') TEMPORARY",
      &view);
  if (result == ERROR_SUCCESS) {
    const MSIHANDLE row = MsiCreateRecord(1);
    MsiRecordSetInteger(row, 1, key == kNoKey ? (int)MSI_NULL_INTEGER : key);
    result = MsiViewExecute(view, row);
    MsiCloseHandle(row);
    MsiCloseHandle(view);
  }
  MsiCloseHandle(database);
  return result == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}
