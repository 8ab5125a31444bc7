// The writer's advanced interface as the filter's service: IWMWriterAdvanced2
// (nothing of which the system uses) and, through QueryInterface, the
// IWMHeaderInfo that stores the file's attributes.
#pragma once

#include "core/com_ptr.h"
#include "header_attributes.h"

#include <memory>

namespace writer {

// A new object with one reference, sharing the filter's attribute store.
com::Ptr<IWMWriterAdvanced2> CreateWriterAdvanced(std::shared_ptr<HeaderAttributes> attributes);

} // namespace writer
