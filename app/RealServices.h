// The real backends (Qt 6 and Linux) wired into platform::Current() for the
// lifetime of this object. The program entry and the programs in bench/ that
// measure the real window use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

class RealServices {
 public:
  RealServices(int& argc, char** argv);
  ~RealServices();
  RealServices(const RealServices&) = delete;
  RealServices& operator=(const RealServices&) = delete;

  // Opens the settings store; an empty text on success, else why not.
  std::string OpenRegistry();

 private:
  struct Backends;
  std::unique_ptr<Backends> backends_;
};

// `quorvane --report ...` (the arguments after --report): reads the history
// file and writes the report; needs no display. Returns the exit status.
int RunReportCommand(const std::vector<std::string>& args);

}  // namespace qv
