// From a session to its picture: the model's drawing as the session left
// it, each element with its history (from the requests that made, changed,
// showed and deleted it), what was displayed and highlighted, the last
// rubber band, and, for a replay that stopped at a request, the shapes the
// recording expected and the command sent.
#pragma once
#include "exchange.h"
#include "model/model.h"
#include "picture/svg.h"
#include "recording/session.h"

#include <span>
#include <string>
#include <vector>

namespace kavhost::picture {

// A recorded request as kavhost logs one: decoded, with its recorded answer
// and writes as the reply.
LoggedRequest loggedRequest(const RecordedRequest& r, uint32_t seq);

// Feeds the requests of a session that has already been answered (a
// recording, a field session) to the model, which keeps its drawing from
// them and from their answers (the host's indices among them) but answers
// none.
void feed(model::Model& model, std::span<const LoggedRequest> requests);

// The picture of `drawing`; `requests` are the session's in order (the
// drawing's elements name the request that made them by its seq).
Picture drawingPicture(const model::Drawing& drawing, std::span<const LoggedRequest> requests);

// A replay that stopped at a request: the shapes it carries as the
// recording holds them (`expected`, null when the recording has no request
// there) and as the command sent them, over the picture.
void addDifference(Picture& picture, const RecordedRequest* expected, const LoggedRequest& actual);

}  // namespace kavhost::picture
