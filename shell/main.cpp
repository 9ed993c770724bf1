// quillmark: the desktop program.
#include <iostream>

#include "platform/desktop.h"
#include "shell/application.h"

int main(int argc, char** argv) {
  std::string error;
  std::unique_ptr<qm::Platform> platform = qm::CreateDesktopPlatform(argc, argv, error);
  if (!platform) {
    std::cerr << error << '\n';
    return 1;
  }
  qm::Application application(*platform);
  return application.Run(std::cerr);
}
