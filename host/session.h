// Golden sessions.  --record writes one JSON object per line: a header with
// the command line number and the answer script of the run, then every
// request as it arrived (decoded, with its payload bytes in hex), the
// answer and the bytes the host wrote back.  --replay answers each request
// from such a recording and checks that the command makes the same requests
// in the same order; the first difference stops the replay with a decoded
// diff.
//
//   {"session":"kavhost","version":1,"cmdline":0,"script":"ui wait ..."}
//   {"seq":1,"message":1534,"code":1807,"lParam":5,"exports":["VokGetCSBHandle"],
//    "lParamText":"csbID = 5","size":0,"request":"","segments":[...],
//    "answer":0,"writes":[{"offset":18,"bytes":"74 79 70 65 64 00"}]}
//   {"seq":2,"message":1765,"exports":["VokExitCommand"],"answer":1}
#pragma once
#include "host.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavhost {

struct SessionError : std::runtime_error {
    SessionError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line) {}
    int line;
};

std::string sessionHeader(int32_t cmdLine, const std::string& scriptText);
std::string recordLine(const LoggedRequest& r);

struct RecordedRequest {
    int line = 0;
    uint32_t message = 0;
    uint32_t code = 0;
    uint32_t lParam = 0;
    std::string exportName;
    std::vector<uint8_t> request;
    uint32_t answer = 0;
    std::vector<PayloadWrite> writes;
};

struct Session {
    int32_t cmdLine = 0;
    std::string script;
    std::vector<RecordedRequest> requests;
};

// Throws SessionError for anything that is not a recording.
Session parseSession(const std::string& text);

// "" when the request is the recorded one; otherwise the decoded diff.
std::string describeDifference(uint32_t number, const RecordedRequest& expected, const LoggedRequest& actual);

class Replayer : public ReplySource {
public:
    // `onDifference` is called once, at the first difference.
    Replayer(std::vector<RecordedRequest> requests, std::function<void(const std::string&)> onDifference);
    Reply reply(const LoggedRequest& r) override;
    // After the run: a recorded request that the command never made is a
    // difference too.  True when the session matched.
    bool finish();
    bool differed() const { return !difference_.empty(); }
    const std::string& difference() const { return difference_; }

private:
    void differ(const std::string& diff);
    std::vector<RecordedRequest> requests_;
    std::function<void(const std::string&)> onDifference_;
    size_t next_ = 0;
    std::string difference_;
};

}  // namespace kavhost
