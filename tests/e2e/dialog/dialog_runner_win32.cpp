// Shows the settings dialog the way the host's "/C" start does (work folder, music settings,
// dialog) and, once it has closed, writes the host's shared variables into the file named by
// its argument, one "name=value" a line, for the test to compare. It also writes the frame a
// window of the dialog's kind gets (caption and close box, fixed border), so that the test can
// tell where the dialog's outer rectangle lies from the client area it sees on the X server.
//   pellarin_dialog_runner <report file>
#include <windows.h>

#include <cstdio>

#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "host/dialog/settings_dialog.h"

int main(int argc, char** argv) {
  namespace B = pellarin::Quorvane_B;
  if (argc != 2) {
    std::fprintf(stderr, "usage: pellarin_dialog_runner <report file>\n");
    return 2;
  }
  pellarin::openWorkFolder(pellarin::WorkFolderUse::Create);
  B::loadSettings();
  const int result = pellarin::showSettingsDialog();
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE, 0);
  std::FILE* report = std::fopen(argv[1], "wb");
  if (!report) return 3;
  std::fprintf(report, "musicKind=%d\ncdRepeatTrack=%d\nmusicFile=%s\nmusicFolder=%s\n",
               B::musicKind, B::cdRepeatTrack, B::musicFile.c_str(), B::musicFolder.c_str());
  std::fprintf(report, "frame=%ld %ld %ld %ld\n", -frame.left, -frame.top, frame.right,
               frame.bottom);
  return std::fclose(report) == 0 ? result : 3;
}
