#include "monitor/mail_request.h"

namespace raid {

void RecordingMailSink::RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                                std::uint8_t port) {
    requests_.push_back({kind, device, port, clock_.WallSeconds()});
    if (onRequest_) {
        onRequest_(requests_.back());
    }
}

}  // namespace raid
