#include "app/ProgramEntry.h"

int main(int argc, char** argv) { return vistrel::app::runVistrel(argc, argv); }
