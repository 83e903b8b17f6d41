// Runs the built picbatch-cli with arguments and collects what it prints, or starts it in the
// background to signal it mid-run.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
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

// picbatch-cli started in the background, printing into a file, to be signalled mid-run.
class BackgroundCli {
public:
    BackgroundCli(const std::vector<std::string>& args, std::string outputPath) : m_outputPath(std::move(outputPath))
    {
        std::vector<std::string> argv{PICBATCH_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        m_pid = fork();
        if (m_pid != 0)
            return;
        const int out = open(m_outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        execv(PICBATCH_CLI_PATH, pointers.data());
        _exit(127);
    }
    ~BackgroundCli()
    {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGKILL);
            Wait();
        }
    }
    BackgroundCli(const BackgroundCli&) = delete;
    BackgroundCli& operator=(const BackgroundCli&) = delete;

    bool Started() const { return m_pid > 0; }

    // Waits until the output holds text; false when the program ended first.
    bool WaitForOutput(const std::string& text)
    {
        while (Output().find(text) == std::string::npos) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_ended = true;
                m_status = status;
                return Output().find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void Signal(int signal) { kill(m_pid, signal); }

    // Waits for the end: the exit code, or minus the signal that ended it, and the output.
    Result Wait()
    {
        if (!m_ended) {
            waitpid(m_pid, &m_status, 0);
            m_ended = true;
        }
        return {WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -WTERMSIG(m_status), Output()};
    }

private:
    std::string Output() const
    {
        std::ifstream in(m_outputPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string m_outputPath;
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = 0;
};

}  // namespace picbatch
