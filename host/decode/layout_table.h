// Table access: every export's layout, as the build generated it from
// api/kavlink.exports into typed constants (kavlink_table.h), looked up by
// name or by command code through an index made at the first look-up.
#pragma once
#include "kavlink_table.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavhost {

using ExportLayout = kavtable::Export;
using SegmentLayout = kavtable::Segment;
using ArgLayout = kavtable::Arg;
using kavtable::ArgKind;
using kavtable::CopyRule;
using kavtable::CountFrom;
using kavtable::DefaultAnswer;
using kavtable::Direction;
using kavtable::LParamForm;
using kavtable::ResultForm;
using kavtable::SegmentKind;

std::span<const ExportLayout> exportLayouts();
const ExportLayout* findLayout(std::string_view name);
// Every export that sends `code` as RequestMessage, in the table's order.
std::span<const ExportLayout* const> layoutsWithCode(uint32_t code);

}  // namespace kavhost
