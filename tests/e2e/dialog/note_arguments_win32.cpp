// Stands in for the program the shell opens a document with: adds its command line, as UTF-8,
// as one line to the file that PELLARIN_NOTE_FILE names.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/win32_text.h"

int main() {
  wchar_t file[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"PELLARIN_NOTE_FILE", file, MAX_PATH) == 0) return 2;
  std::FILE* note = ::_wfopen(file, L"ab");
  if (!note) return 3;
  const std::string line = pellarin::utf8Text(::GetCommandLineW()) + "\n";
  std::fputs(line.c_str(), note);
  return std::fclose(note) == 0 ? 0 : 3;
}
