#include "qt/application.h"

int main(int argc, char** argv) {
  return netupdate::qt::runApplication(argc, argv);
}
