#pragma once

#include <memory>
#include <string>
#include <vector>

namespace raid::testing {

// A helper program a test starts as another process, with a pipe into its
// standard input and one out of its standard output.
class ChildProcess {
  public:
    // `arguments` after the program's own name.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Closes its input and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    // The next byte of its output, -1 at its end.
    int ReadByte();
    void CloseInput();
    // Waits for it to end: its exit code, -1 when it was not started or did
    // not end on its own.
    int Wait();

  private:
    struct Process;  // the platform's process and pipes
    std::unique_ptr<Process> process_;
};

// A program built with the tests, in the folder of the running test program.
std::string BesideTests(const std::string& fileName);

}  // namespace raid::testing
