#include "tests/support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace autoframe::testing {
namespace {

// Reads both pipes to their end; false if the deadline passed first.
bool drain(int outFd, int errFd, std::string& out, std::string& err,
           std::chrono::steady_clock::time_point deadline) {
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            for (auto& fd : fds) {
                if (fd.fd >= 0) ::close(fd.fd);
            }
            return false;
        }
        if (::poll(fds.data(), fds.size(), int(left.count())) <= 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, std::size_t(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

}  // namespace

HelperRun runHelper(const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment, int limitSeconds) {
    return runProgram(AUTOFRAME_HELPER, arguments, environment, limitSeconds);
}

HelperRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment, int limitSeconds) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!environment.contains(entry.substr(0, entry.find('=')))) envText.push_back(entry);
    }
    for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    HelperRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    run.timedOut = !drain(outPipe[0], errPipe[0], run.out, run.err, deadline);
    if (spawned != 0) return run;
    if (run.timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

bool runShell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string fixtureDir() {
    const std::string dir = AUTOFRAME_FIXTURE_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

std::string privatePath(const std::string& name) {
    return fixtureDir() + "/" + std::to_string(::getpid()) + "-" + name;
}

std::string fixtureFileName(const std::string& name, const std::string& recipe) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: the same on every machine
    for (const unsigned char c : recipe) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    const std::filesystem::path path(name);
    return (path.parent_path() / (path.stem().string() + "-" + hex + path.extension().string()))
        .string();
}

std::string makeFixture(const std::string& name, const std::string& arguments,
                        const FixtureFinish& finish) {
    const std::string recipe =
        "ffmpeg " + arguments + (finish.apply ? "; then " + finish.recipe : "");
    const std::string path = fixtureDir() + "/" + fixtureFileName(name, recipe);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (std::filesystem::exists(path)) return path;
    const std::string partial =
        privatePath("partial-" + std::filesystem::path(name).filename().string());
    const bool made =
        runShell("ffmpeg -nostdin -v error -y " + arguments + " '" + partial + "' </dev/null") &&
        (!finish.apply || finish.apply(partial));
    if (!made) {
        std::filesystem::remove(partial);
        return "";
    }
    std::filesystem::rename(partial, path);
    return path;
}

Frame grayFrame(int width, int height, std::uint8_t level) {
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.bgr.assign(std::size_t(width) * std::size_t(height) * 3, level);
    return frame;
}

Expected<TimedFrame> FakeFrameSource::frameAt(double seconds) {
    requests.push_back(seconds);
    if (replies.empty()) return TimedFrame{grayFrame(4, 4, 0), seconds};
    auto reply = std::move(replies.front());
    replies.pop_front();
    return reply;
}

Expected<Detections> FakeDetectors::detect(const Frame&) {
    ++calls;
    if (replies.empty()) return Detections{};
    auto reply = std::move(replies.front());
    replies.pop_front();
    return reply;
}

std::optional<std::vector<std::uint8_t>> FakeGrayRenderer::render(const Frame& frame, int width,
                                                                  int height) const {
    if (frame.bgr.empty()) return std::nullopt;
    return std::vector<std::uint8_t>(std::size_t(width) * std::size_t(height), frame.bgr[0]);
}

std::unique_ptr<FrameSource> FakeServices::openFrameSource(const std::string& path) {
    openedPaths.push_back(path);
    return std::move(source);
}

std::unique_ptr<Detectors> FakeServices::makeDetectors() { return std::move(detectors); }

std::unique_ptr<GrayRenderer> FakeServices::makeGrayRenderer() {
    return std::make_unique<FakeGrayRenderer>();
}

}  // namespace autoframe::testing
