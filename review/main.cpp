#include "platform/posix/process.h"
#include "platform/real_services.h"
#include "review/review.h"

int main(int argc, char** argv) {
    autoframe::silenceLibraries();
    autoframe::PosixProcess process(argc, argv);
    autoframe::RealServices services;
    return autoframe::review::finishReview(
        autoframe::review::makeReviewPage(process.arguments(), services), process);
}
