#include "diskwriter/track_tags.h"

#include "diskwriter/exception_source.h"
#include "diskwriter/tag_names.h"
#include "errors/wma_exception.h"
#include "profiles/attribute_from_text.h"
#include "sdk/conversion_holders.h"
#include "vantrel/file_info.h"

#include <string>

void WriteTrackTags(IWMHeaderInfo* headerInfo, const file_info& trackInformation) {
    // The count is asked on every pass, as the record may be read live.
    for (std::int32_t i = 0; i < trackInformation.meta_count(); ++i) {
        const char* rawName = trackInformation.meta_name_at(i);
        const std::string field = rawName != nullptr ? rawName : "";
        const wide_from_utf8 name(AttributeNameForField(field.c_str()));
        const wide_from_utf8 value(trackInformation.meta_value_at(i));

        AttributeRecord record;
        record.streamNumber = 0;
        record.name = name.get();
        record.typeName = u"string";
        record.valueText = value.get();

        const HRESULT result = SetAttributeFromText(headerInfo, record);
        if (FAILED(result))
            throw CWMAException("Failed to set attribute.", result, kDiskWriterSourceName,
                                __LINE__);
    }
}
