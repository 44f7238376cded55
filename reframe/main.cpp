#include <chrono>
#include <csignal>

#include "platform/ffmpeg/reframe_media.h"
#include "platform/posix/process.h"
#include "platform/real_services.h"
#include "reframe/run.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    autoframe::silenceLibraries();
    autoframe::PosixProcess process(argc, argv);
    autoframe::RealServices services;
    autoframe::reframe::FfmpegReframeMedia media;
    const auto clock = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    const autoframe::reframe::Environment environment{process, services, media, clock};
    return autoframe::reframe::finishReframe(autoframe::reframe::runReframe(environment), process);
}
