// Writing a track's metadata into the header of the Windows Media file.
#pragma once

#include "platform/wmsdk.h"

class file_info;

// Sets one string attribute per metadata entry, in the record's order,
// duplicates included, under the attribute name of AttributeNameForField.
// Raises CWMAException when an attribute cannot be set; the entries before it
// are already in the header.
void WriteTrackTags(IWMHeaderInfo* headerInfo, const file_info& trackInformation);
