// The protocol openers this module registers at start-up.
#pragma once

#include <zandrel/stream.hpp>

namespace zandrel {

class TDataStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

class TBankStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

class TIncbinOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

class TEndianStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

class TTextStreamOpener : public TStreamOpener {
public:
    Ref<TStream> TryOpen(const Url& url, const String& proto, const String& path,
                         FileMode mode) override;
};

// Raw bytes go through a text stream as hexadecimal digits, this many bytes
// to a line.
constexpr int TextHexLineBytes = 32;

void StartBankDataType();
void StartStandardText();

} // namespace zandrel
