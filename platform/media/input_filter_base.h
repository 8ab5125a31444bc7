// Everything a platform filter with input pins builds on: FilterBase (state,
// clock, graph membership, events; see filter_base.h) and InputPinBase
// (connection, allocator, streaming hooks; see input_pin_base.h).
//
// A minimal filter:
//   class Sink : public media::FilterBase {
//   public:
//       Sink() : FilterBase(kSinkClassId), pin_(this) { AddPin(&pin_); }
//   private:
//       SinkPin pin_;   // derives from media::InputPinBase
//   };
// Both start with one reference held by the creator (the pin shares its
// filter's count).
#pragma once

#include "media/filter_base.h"
#include "media/input_pin_base.h"
#include "media/media_type_util.h"
