// Runs the built picbatch-cli with arguments and collects what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace picbatch {

struct Result {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

inline std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline Result RunCli(const std::vector<std::string>& args)
{
    std::string command = Quoted(PICBATCH_CLI_PATH);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    command += " 2>&1";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace picbatch
