// The replay: answers each request from a recorded session (a kavhost
// recording or a field session, both read into the same steps by
// recording/), delivers its events again and compares, step by step, what
// the command does with what was recorded.
//
// --replay delivers the recorded events (the start event with its recorded
// nCmdLine first, then the other events that were not delivered inside the
// dialog), answers each request from the recording, and takes the ui steps
// from the header's script; the ui event steps there deliver the events
// inside the dialog; an event recorded "inside" a request is delivered
// inside the same request again.  Every request, every event and each event's HRESULT
// and nCode must be as recorded; the first difference stops the session.
#pragma once
#include "exchange.h"
#include "recording/session.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kavhost {

// "" when the request is the recorded one; otherwise the decoded diff.
// `number` is the request's seq (as the log numbers it); `line` is the
// recording's line of `expected`.
std::string describeDifference(uint32_t number, const RecordedRequest& expected, int line, const LoggedRequest& actual);

// Answers from a recording and checks the session against it, request by
// request and event by event.
class Replayer : public ReplySource {
public:
    // `onDifference` is called once, at the first difference.
    Replayer(const Session& session, std::function<void(const std::string&)> onDifference);
    Reply reply(const LoggedRequest& r) override;
    bool delivering(const DeliveredEvent& e) override;
    void returned(const DeliveredEvent& e) override;
    // What the recording still holds when the session ends is a difference too.
    void sessionEnds(bool commandEnded) override;
    std::string waitingFor() const override;
    bool differed() const { return !difference_.empty(); }
    const std::string& difference() const { return difference_; }
    // The seq of the request the replay stopped at (0 when it stopped at an
    // event or not at all), and what the recording holds in its place (null
    // when it holds no request there).
    uint32_t stoppedAt() const { return stoppedAt_; }
    const RecordedRequest* expectedRequest() const { return expected_; }

private:
    void differ(const std::string& diff);
    std::string nextRequestMissing(const std::string& instead) const;
    int version_;
    std::vector<RecordedStep> steps_;
    size_t recordedRequests_ = 0;
    std::function<void(const std::string&)> onDifference_;
    size_t next_ = 0;
    uint32_t requests_ = 0;      // requests that arrived
    std::vector<size_t> open_;   // the recorded steps of the events being delivered
    std::string difference_;
    uint32_t stoppedAt_ = 0;
    const RecordedRequest* expected_ = nullptr;
};

}  // namespace kavhost
