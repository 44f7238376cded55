#include <csignal>

#include "driver/run.h"
#include "platform/posix/process.h"
#include "platform/real_services.h"

int main(int argc, char** argv) {
    // A host that closes our stdout early must not kill us silently with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    autoframe::silenceLibraries();
    autoframe::PosixProcess process(argc, argv);
    autoframe::RealServices services;
    return autoframe::finishRun(autoframe::runAutoFraming(process, services), process);
}
