// quillmark: the desktop program.
#include <cstring>
#include <iostream>

#include "platform/desktop.h"
#include "qm_version.h"
#include "shell/application.h"

int main(int argc, char** argv) {
  // The two things the program answers without opening its window.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "quillmark " << QM_VERSION << '\n';
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << "Usage: quillmark [--version] [--help]\n"
                   "Opens the Quillmark window: press Source, choose a PureBasic project's\n"
                   "folder and a destination folder, and translate each file through the\n"
                   "clipboard. See quillmark(1) and quillmark-cli(1).\n";
      return 0;
    }
  }
  std::string error;
  std::unique_ptr<qm::Platform> platform = qm::CreateDesktopPlatform(argc, argv, error);
  if (!platform) {
    std::cerr << error << '\n';
    return 1;
  }
  qm::Application application(*platform);
  return application.Run(std::cerr);
}
