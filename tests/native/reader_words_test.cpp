// What is wrong in a registry file, said in the wording the reader is given, as the German
// Restore window shows it.

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "platform/reg_text.h"
#include "repair/restore.h"
#include "tests/support/reg_data.h"
#include "ui/text_table.h"

namespace tallowin {
namespace {

TEST(RegistryFileWords, DiagnosticsComeOutInTheWordingGiven) {
  const Wording german(ui::kGermanPhrases, ui::kGermanPhraseCount);
  const auto parse = [&](const std::string& text, platform::RegTextRules rules) {
    platform::RegTextDocument document;
    std::string error;
    EXPECT_FALSE(platform::ParseRegText(text, document, &error, Windows1252(), rules, german));
    return error;
  };
  const std::string k = "REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n";
  platform::memory::MemoryMachine m;
  // Half a UTF-16 character at the end: the file reader, not the parser, refuses it.
  m.files.AddFile("C:\\Backup\\bad.reg", "\xFF\xFE" + testing_support::Utf16Data(k) + "x");
  platform::Platform p = m.platform();
  CommandHint hint;
  const struct {
    std::string got;
    std::string expected;
  } cases[] = {
      {parse(k + "\"a\"=dword:0000000g\r\n", platform::RegTextRules::Editor),
       "Zeile 3: ung\xC3\xBCltige Hexziffer im DWORD-Wert"},
      {parse("REGEDIT4\r\n[HKEY_NOWHERE\\K]\r\n", platform::RegTextRules::Editor),
       "Zeile 2: unbekannter Stammschl\xC3\xBCssel \"HKEY_NOWHERE\""},
      {parse(k + "@=\"v\"", platform::RegTextRules::Backup),
       "Zeile 3: Die letzte Zeile hat kein Zeilenende: Die Datei ist unvollst\xC3\xA4ndig"},
      {RestoreBackupFile(p, "C:\\Backup\\bad.reg", "C:\\Backup", hint, german).message,
       "Die Datei C:\\Backup\\bad.reg ist keine Registrierungssicherung, die sich pr\xC3\xBC"
       "fen l\xC3\xA4sst (Zeile 3: Bytes, die in der ANSI-Codepage kein Text sind, oder ein "
       "halbes UTF-16-Zeichen); sie wurde nicht importiert und bleibt erhalten."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
}  // namespace tallowin
