// The model's calculations: the plane geometry of calculations.h with the
// tolerances the command set, the conventions the profile gives, and the
// drawing's shapes for the calculations that name elements.
#pragma once
#include "model/drawing.h"
#include "model/profile.h"

#include "exchange.h"

#include <memory>
#include <string>

namespace kavhost::model {

class Calculator {
public:
    explicit Calculator(const Profile& profile);
    ~Calculator();
    // Answers a request of the calculation family (codes 2000-2062); false
    // when it is not modelled (`out`, reused in place, then holds nothing of
    // use).  `key` receives the profile value the answer rests on.
    bool answer(const LoggedRequest& r, const ExportLayout& e, const Drawing& drawing, Reply& out, std::string& key);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kavhost::model
