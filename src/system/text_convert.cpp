#include "system_parts.hpp"

#include <zandrel/stream.hpp>

namespace zandrel {

// SDL and the desktop tools speak UTF-8; the text stream knows the encoding.
std::string ToUtf8(const String& text) {
    auto bank = CreateBankStream();
    CreateTextStream(bank, Utf8)->WriteString(text);
    auto& bytes = *bank->Bank();
    return std::string(reinterpret_cast<const char*>(bytes.Buf()),
                       static_cast<size_t>(bytes.Size()));
}

String FromUtf8(std::string_view bytes) {
    std::string copy(bytes);
    auto memory = CreateMemoryStream(copy.data(), static_cast<int>(copy.size()), true, false);
    return CreateTextStream(memory, Utf8)->ReadAllText();
}

} // namespace zandrel
