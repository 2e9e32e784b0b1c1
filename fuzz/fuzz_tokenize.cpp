// Fuzzing target: the line tokenizer, on every line of the input, with the
// slots of the command loop (10 of 150 bytes) and of the matrix reader (30 of
// 30 bytes). A token too long for its slot is an orderly fatal error; on
// success every token must fit its slot and hold no blank.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "alloc/alloc.h"
#include "harness.h"
#include "matfile/tokenize.h"

namespace {

struct Line {
    const char *text;
    int slots, slot_len;
};

void tokenize_line(void *arg)
{
    const Line *line = (const Line *)arg;
    char **slot = NULL;
    alloc(line->slots, line->slot_len, &slot);
    int count = line->slots;
    if (tokenize(line->text, &count, line->slot_len, slot) == 0) {
        if (count < 0 || count >= line->slots)
            abort();
        for (int k = 0; k < count; k++) {
            size_t len = strnlen(slot[k], line->slot_len);
            if (len == 0 || len > (size_t)line->slot_len - 2 || strpbrk(slot[k], " \t\n#") != NULL)
                abort();
        }
    }
    frei(line->slots, line->slot_len, &slot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    harness_init();
    std::string input((const char *)data, size);
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        std::string text = input.substr(start, end - start + (end < input.size() ? 1 : 0));
        Line command = {text.c_str(), 10, 150};
        Line matrix = {text.c_str(), 30, 30};
        guarded_run(tokenize_line, &command);
        guarded_run(tokenize_line, &matrix);
        start = end + 1;
    }
    return 0;
}
