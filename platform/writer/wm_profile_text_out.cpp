#include "wm_profile.h"

#include <limits>

namespace writer {

template <class Length>
HRESULT CopyTextOut(std::u16string_view text, WCHAR* buffer, Length* length) {
    if (length == nullptr) {
        return E_POINTER;
    }
    const std::size_t needed = text.size() + 1;
    if (needed > std::numeric_limits<Length>::max()) {
        return E_UNEXPECTED;
    }
    if (buffer == nullptr) {
        *length = static_cast<Length>(needed);
        return S_OK;
    }
    if (*length < needed) {
        *length = static_cast<Length>(needed);
        return ASF_E_BUFFERTOOSMALL;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    *length = static_cast<Length>(needed);
    return S_OK;
}

template HRESULT CopyTextOut<WORD>(std::u16string_view, WCHAR*, WORD*);
template HRESULT CopyTextOut<DWORD>(std::u16string_view, WCHAR*, DWORD*);

} // namespace writer
