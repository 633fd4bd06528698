#include "model/calculator.h"

namespace kavhost::model {

struct Calculator::State {};

Calculator::Calculator(const Profile&) : state_(std::make_unique<State>()) {}
Calculator::~Calculator() = default;

// The plane geometry comes with calculations.h; until then no calculation is modelled.
bool Calculator::answer(const LoggedRequest&, const ExportLayout&, const Drawing&, Reply&, std::string&) { return false; }

}  // namespace kavhost::model
