#pragma once
// The program entry: checks the media framework's version, creates the windows and runs the
// message loop.

namespace vistrel::app {

int runVistrel(int argc, char** argv);

}  // namespace vistrel::app
