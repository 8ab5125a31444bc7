#include "metadata_editor.h"

#include "asf_header_metadata.h"
#include "asf_header_reader.h"
#include "header_info_reads.h"
#include "header_rewrite.h"
#include "utf16_text.h"

#include "core/com_object.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace writer {
namespace {

constexpr std::size_t kMaxValues = std::numeric_limits<WORD>::max();

bool ReadAt(int fd, std::uint64_t offset, BYTE* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = pread(fd, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// The path a name leads to, links followed; empty when it leads nowhere.
std::string ResolvedPath(const std::string& name) {
    char* resolved = realpath(name.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string path(resolved);
    std::free(resolved);
    return path;
}

class MetadataEditor final
    : public com::Object<com::Interface<IWMMetadataEditor, IID_IWMMetadataEditor>,
                         com::Interface<IWMHeaderInfo3, IID_IWMHeaderInfo3, IID_IWMHeaderInfo2,
                                        IID_IWMHeaderInfo>> {
public:
    // IWMMetadataEditor
    HRESULT STDMETHODCALLTYPE Open(const WCHAR* fileName) override {
        if (fileName == nullptr) {
            return E_POINTER;
        }
        std::lock_guard guard(lock_);
        if (fd_ >= 0) {
            return NS_E_INVALID_REQUEST;
        }
        try {
            const auto name = Utf8FromUtf16(std::u16string_view(fileName, Utf16Length(fileName)));
            if (!name || name->empty()) {
                return E_INVALIDARG;
            }
            const HRESULT hr = Load(*name);
            if (FAILED(hr)) {
                CloseFile();
            }
            return hr;
        } catch (const std::bad_alloc&) {
            CloseFile();
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE Close() override {
        std::lock_guard guard(lock_);
        if (fd_ < 0) {
            return NS_E_INVALID_REQUEST;
        }
        CloseFile();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Flush() override {
        std::lock_guard guard(lock_);
        if (fd_ < 0) {
            return NS_E_INVALID_REQUEST;
        }
        HRESULT hr = S_OK;
        try {
            hr = Save();
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        CloseFile();
        return hr;
    }

    // IWMHeaderInfo
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD streamNumber, WORD* count) override {
        std::lock_guard guard(lock_);
        return AttributeCount(attributes_, streamNumber, count);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* streamNumber, WCHAR* name,
                                                  WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                  BYTE* value, WORD* valueLength) override {
        std::lock_guard guard(lock_);
        return AttributeByIndex(attributes_, index, streamNumber, name, nameLength, type, value,
                                valueLength);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* streamNumber, LPCWSTR name,
                                                 WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 WORD* valueLength) override {
        std::lock_guard guard(lock_);
        return AttributeByName(attributes_, streamNumber, name, type, value, valueLength);
    }
    // Replaces every value of the name with this one.
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                           const BYTE* value, WORD length) override {
        HeaderAttribute attribute;
        HRESULT hr = MakeAttribute(streamNumber, name, type, value, length, &attribute);
        if (FAILED(hr)) {
            return hr;
        }
        std::lock_guard guard(lock_);
        if (fd_ < 0) {
            return NS_E_INVALID_REQUEST;
        }
        try {
            const auto positions = ValuesOf(attributes_, attribute.name);
            if (positions.empty()) {
                return Append(std::move(attribute), nullptr);
            }
            attributes_[positions.front()] = std::move(attribute);
            for (auto at = positions.rbegin(); at + 1 != positions.rend(); ++at) {
                attributes_.erase(attributes_.begin() + static_cast<std::ptrdiff_t>(*at));
            }
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* count) override { return Zero(count); }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR*, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* count) override { return Zero(count); }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddScript(const WCHAR*, const WCHAR*, QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

    // IWMHeaderInfo2: codec descriptions are the writer's business.
    HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*,
                                           WMT_CODEC_INFO_TYPE*, WORD*, BYTE*) override {
        return E_NOTIMPL;
    }

    // IWMHeaderInfo3. Attributes have no language: only language 0 is taken.
    HRESULT STDMETHODCALLTYPE GetVersion(WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD streamNumber, WORD* count) override {
        std::lock_guard guard(lock_);
        return AttributeCount(attributes_, streamNumber, count);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD, LPCWSTR, WORD*, WORD*, WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD streamNumber, WORD index, LPWSTR name,
                                                    WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                    WORD* language, BYTE* value,
                                                    DWORD* valueLength) override {
        std::lock_guard guard(lock_);
        return AttributeByIndexEx(attributes_, streamNumber, index, name, nameLength, type,
                                  language, value, valueLength);
    }
    HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*,
                                              DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddAttribute(WORD streamNumber, LPCWSTR name, WORD* index,
                                           WMT_ATTR_DATATYPE type, WORD language, const BYTE* value,
                                           DWORD length) override {
        if (language != 0) {
            return E_INVALIDARG;
        }
        HeaderAttribute attribute;
        const HRESULT hr = MakeAttribute(streamNumber, name, type, value, length, &attribute);
        if (FAILED(hr)) {
            return hr;
        }
        std::lock_guard guard(lock_);
        if (fd_ < 0) {
            return NS_E_INVALID_REQUEST;
        }
        try {
            return Append(std::move(attribute), index);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD streamNumber, WORD index) override {
        std::lock_guard guard(lock_);
        if (fd_ < 0) {
            return NS_E_INVALID_REQUEST;
        }
        if (streamNumber != 0 || index >= attributes_.size()) {
            return E_INVALIDARG;
        }
        attributes_.erase(attributes_.begin() + index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddCodecInfo(WCHAR*, WCHAR*, WMT_CODEC_INFO_TYPE, WORD,
                                           BYTE*) override {
        return E_NOTIMPL;
    }

private:
    ~MetadataEditor() override { CloseFile(); }

    static HRESULT Zero(WORD* count) {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }

    HRESULT Load(const std::string& name) {
        path_ = ResolvedPath(name);
        if (path_.empty()) {
            return NS_E_FILE_OPEN_FAILED;
        }
        fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd_ < 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            return NS_E_FILE_OPEN_FAILED;
        }
        mode_ = info.st_mode;
        const auto fileSize = static_cast<std::uint64_t>(info.st_size);
        BYTE start[30];
        if (fileSize < sizeof(start) || !ReadAt(fd_, 0, start, sizeof(start))) {
            return NS_E_INVALID_DATA;
        }
        const auto headerSize = HeaderObjectSize(start, sizeof(start));
        if (!headerSize || *headerSize > fileSize) {
            return NS_E_INVALID_DATA;
        }
        header_.resize(static_cast<std::size_t>(*headerSize));
        if (!ReadAt(fd_, 0, header_.data(), header_.size())) {
            return NS_E_INVALID_DATA;
        }
        auto contents = ReadHeaderContents(header_.data(), header_.size());
        if (!contents) {
            return NS_E_INVALID_DATA;
        }
        attributes_ = std::move(contents->attributes);
        otherRecords_ = std::move(contents->otherLibraryRecords);
        otherCount_ = contents->otherLibraryCount;
        return S_OK;
    }

    HRESULT Save() {
        MetadataObjects objects;
        HRESULT hr = BuildMetadataObjects(attributes_, &objects);
        if (FAILED(hr)) {
            return hr;
        }
        if (objects.libraryCount + otherCount_ > kMaxValues) {
            return NS_E_TOO_MUCH_DATA;
        }
        objects.libraryRecords.insert(objects.libraryRecords.begin(), otherRecords_.begin(),
                                      otherRecords_.end());
        objects.libraryCount += otherCount_;
        const auto header = SpliceMetadata(header_.data(), header_.size(), objects);
        if (!header) {
            return NS_E_TOO_MUCH_DATA; // the header read at Open was whole
        }
        return RewriteWithHeader(fd_, header_.size(), *header, path_, mode_);
    }

    HRESULT Append(HeaderAttribute attribute, WORD* index) {
        if (attributes_.size() >= kMaxValues) {
            return NS_E_TOO_MUCH_DATA;
        }
        const std::size_t at = AddValue(attributes_, std::move(attribute));
        if (index != nullptr) {
            *index = static_cast<WORD>(at);
        }
        return S_OK;
    }

    void CloseFile() {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = -1;
        path_.clear();
        header_.clear();
        attributes_.clear();
        otherRecords_.clear();
        otherCount_ = 0;
    }

    std::mutex lock_;
    int fd_ = -1;
    std::string path_; // the file itself, links resolved
    mode_t mode_ = 0;
    std::vector<BYTE> header_; // the header object as read
    std::vector<HeaderAttribute> attributes_;
    std::vector<BYTE> otherRecords_;
    std::uint32_t otherCount_ = 0;
};

} // namespace

com::Ptr<IWMMetadataEditor> CreateMetadataEditor() {
    return com::Ptr<IWMMetadataEditor>::Adopt(new (std::nothrow) MetadataEditor());
}

} // namespace writer

HRESULT WMCreateEditor(IWMMetadataEditor** editor) {
    if (editor == nullptr) {
        return E_POINTER;
    }
    *editor = writer::CreateMetadataEditor().Detach();
    return *editor != nullptr ? S_OK : E_OUTOFMEMORY;
}
