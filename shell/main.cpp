#include "shell/folim_app.h"

int main(int argc, char** argv) {
  CFolimApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
