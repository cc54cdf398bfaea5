// Runs the built quorlane program (or a shell command line around it) in a test's directory and
// keeps its exit status and what it wrote.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quorlane::test {

// One run: the exit status (-1 when the command did not exit normally) and both outputs.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// The whole content of a file; empty when it cannot be read.
inline std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// `s` as one word for the shell.
inline std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `command_line` through the shell in `dir`, its standard input from `input`. The streams
// go through the files stdin, stdout and stderr in `dir`.
inline ProgramRun run_shell(const std::filesystem::path& dir, const std::string& command_line,
                            const std::string& input = "") {
  std::filesystem::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
  std::ofstream(in, std::ios::binary) << input;
  std::string command = "cd " + quoted(dir.string()) + " && " + command_line + " <" +
                        quoted(in.string()) + " >" + quoted(out.string()) + " 2>" +
                        quoted(err.string());
  int raw = std::system(command.c_str());
  return ProgramRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, file_text(out), file_text(err)};
}

// Runs the program with `args` (already quoted where needed) in `dir`, preceded by the variable
// assignments of `environment` when there are any.
inline ProgramRun run_program(const std::filesystem::path& dir, const std::string& args,
                              const std::string& input = "", const std::string& environment = "") {
  std::string command_line = quoted(QUORLANE_PROGRAM_PATH) + " " + args;
  if (!environment.empty()) command_line = environment + " " + command_line;
  return run_shell(dir, command_line, input);
}

}  // namespace quorlane::test
