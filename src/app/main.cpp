#include "app/application.h"

int main(int argc, char** argv) {
  return netupdate::app::runApplication(argc, argv);
}
