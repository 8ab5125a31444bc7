#include "diskwriter/track_tags.h"

#include "diskwriter/exception_source.h"
#include "diskwriter/tag_names.h"
#include "entry/host_calls.h"
#include "errors/platform_reason.h"
#include "errors/wma_exception.h"
#include "profiles/attribute_from_text.h"
#include "sdk/conversion_holders.h"
#include "vantrel/file_info.h"
#include "vantrel/host_api.h"

#include <string>

namespace {

// A header attribute's length is 16 bits of bytes (at most 65535): 32766 UTF-16
// units and the terminator.
constexpr std::size_t kMaxValueUnits = 32766;

// Cuts a text to what an attribute holds, never inside a surrogate pair.
bool CutToAttributeSize(std::u16string& text) {
    if (text.size() <= kMaxValueUnits)
        return false;
    std::size_t keep = kMaxValueUnits;
    if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF)
        --keep;
    text.resize(keep);
    return true;
}

} // namespace

// Values too long for an attribute are cut with a warning naming the field,
// and values beyond what the header holds are left out with one warning, so
// the track is still written with everything else.
void WriteTrackTags(IWMHeaderInfo* headerInfo, const file_info& trackInformation) {
    std::int32_t leftOut = 0;
    std::string leftOutReason;
    // The count is asked on every pass, as the record may be read live.
    for (std::int32_t i = 0; i < trackInformation.meta_count(); ++i) {
        const char* rawName = trackInformation.meta_name_at(i);
        const std::string field = rawName != nullptr ? rawName : "";
        const wide_from_utf8 name(AttributeNameForField(field.c_str()));
        const wide_from_utf8 wideValue(trackInformation.meta_value_at(i));
        std::u16string value = wideValue.get();
        if (CutToAttributeSize(value)) {
            const std::string warning = "The value of tag \"" + field +
                                        "\" is longer than a header attribute holds; it was cut "
                                        "to " +
                                        std::to_string(value.size()) + " characters.";
            ConsolePrint(console::severity_warning, warning.c_str());
        }

        AttributeRecord record;
        record.streamNumber = 0;
        record.name = name.get();
        record.typeName = u"string";
        record.valueText = value.c_str();

        try {
            SetAttributeFromText(headerInfo, record);
        } catch (const CWMAException& failure) {
            if (failure.Code() != NS_E_TOO_MUCH_DATA)
                throw;
            if (leftOut++ == 0)
                leftOutReason = TakePlatformReason();
        }
    }
    if (leftOut > 0) {
        const std::string warning = std::to_string(leftOut) + " tag values were left out" +
                                    (leftOutReason.empty() ? "" : ": " + leftOutReason) + ".";
        ConsolePrint(console::severity_warning, warning.c_str());
    }
}
