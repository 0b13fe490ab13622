// Exceptions and message texts shared by every layer.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace tk {

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Base of every exception the system raises: it carries only its message.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

#define TK_EXCEPTION(Name, Base)                                                \
    class Name : public Base {                                                  \
    public:                                                                     \
        using Base::Base;                                                       \
        const char* ClassName() const noexcept override { return #Name; }       \
    }

TK_EXCEPTION(EStreamError, Exception);
TK_EXCEPTION(EReadError, EStreamError);       // "Stream read error"
TK_EXCEPTION(EWriteError, EStreamError);      // "Stream write error"
TK_EXCEPTION(EFOpenError, EStreamError);      // "Cannot open file %s"
TK_EXCEPTION(EFCreateError, EStreamError);    // "Cannot create file %s"
TK_EXCEPTION(EFilerError, EStreamError);      // property stream errors
TK_EXCEPTION(EClassNotFound, EFilerError);
TK_EXCEPTION(EConvertError, Exception);       // "Cannot assign a %s to a %s"
TK_EXCEPTION(EOutOfMemory, Exception);        // "Out of memory"
TK_EXCEPTION(EInvalidGraphic, Exception);     // picture kind or data problems
TK_EXCEPTION(EInvalidOperation, Exception);
TK_EXCEPTION(EJPEG, EInvalidGraphic);         // "JPEG error #%d"

// The file layer's error: carries the error code as well as its text.
class EInOutError : public Exception {
public:
    EInOutError(int code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
    const char* ClassName() const noexcept override { return "EInOutError"; }
    int ErrorCode;
};

// Message texts, exactly as users see them.
namespace msg {
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SInvalidImage = "Invalid stream format";
inline constexpr const char* SUnknownProperty = "Property does not exist";
inline constexpr const char* SInvalidPropertyValue = "Invalid property value";
inline constexpr const char* SPropertyException = "Error reading %s%s%s: %s";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SOutOfMemory = "Out of memory";
inline constexpr const char* SClassNotFound = "Class %s not found";
inline constexpr const char* SHandlerNotRegistered = "Handler %s is not registered";
inline constexpr const char* SHandlerDoesNotFit = "Handler %s does not fit the event %s";
inline constexpr const char* SUnknownExtension = "Unknown picture file extension (.%s)";
inline constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* SInvalidIcon = "Icon image is not valid";
inline constexpr const char* SInvalidMetafile = "Metafile is not valid";
inline constexpr const char* SJPEGError = "JPEG error #%d";
inline constexpr const char* SNoCanvasHandle = "Canvas does not allow drawing";
// File layer (run-time I/O errors).
inline constexpr const char* SFileNotFound = "File not found";
inline constexpr const char* SInvalidFilename = "Invalid filename";
inline constexpr const char* STooManyOpenFiles = "Too many open files";
inline constexpr const char* SAccessDenied = "File access denied";
inline constexpr const char* SEndOfFile = "Read beyond end of file";
inline constexpr const char* SDiskFull = "Disk full";
inline constexpr const char* SInOutError = "I/O error %d";
}  // namespace msg

}  // namespace tk
