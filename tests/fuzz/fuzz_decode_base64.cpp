// Any bytes given to the decoder give a result without a fault; any bytes
// given to the encoders come back through the decoder, in both line forms.
#include "Base64.h"
#include "DecodeFile.h"
#include "StrOper.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    const std::string decoded = TStrOper::DecodeBase64(input);
    if (decoded.size() > size / 4 * 3 + 2) {
        std::abort(); // more bytes than the characters can carry
    }

    const std::string lines = TStrOper::EncodeBase64(input);
    if (TStrOper::DecodeBase64(lines) != input) {
        std::abort();
    }
    TMemoryStream source(input);
    TTextStream target;
    DecodeFile().StreamToBase64(source, target);
    if (TStrOper::DecodeBase64(target.Text()) != input) {
        std::abort();
    }
    return 0;
}
