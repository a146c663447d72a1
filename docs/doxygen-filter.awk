# Shows the public headers' plain // comments to Doxygen without rewriting
# them: the comment block at the top of a header documents the file, a block
# right above a declaration documents it, and a comment after a declaration on
# its own line documents that member. Section titles (a block followed by a
# blank line), separators and comments inside function bodies stay plain.
# Line numbers are kept, so that warnings point at the header itself.

function is_comment(line) { return line ~ /^[ \t]*\/\// }

function emit_block(as_docs, is_file,    i, line) {
    for (i = 1; i <= pending; ++i) {
        line = block[i]
        if (as_docs && line !~ /^[ \t]*\/\/\//) sub(/\/\//, "///", line)
        if (is_file && i == pending) line = line " @file"
        print line
    }
    pending = 0
}

function opens_body(line,    opened, closed, code) {
    code = line
    sub(/\/\/.*/, "", code)
    opened = gsub(/\{/, "{", code)
    closed = gsub(/\}/, "}", code)
    return opened - closed
}

BEGIN { pending = 0; seen_code = 0; depth = 0; body_depth = -1 }

{
    line = $0
    if (is_comment(line) && body_depth < 0) {
        if (line ~ /^[ \t]*\/\/ ?-+[ \t]*$/) {
            emit_block(0, 0)
            print line
        } else {
            block[++pending] = line
        }
        next
    }
    if (pending > 0) {
        if (!seen_code) emit_block(1, 1)
        else emit_block(line !~ /^[ \t]*$/ && line !~ /^[ \t]*#/ && body_depth < 0, 0)
    }
    if (line !~ /^[ \t]*$/) seen_code = 1

    # A member's comment after it on the same line, outside function bodies
    # and string literals.
    if (body_depth < 0 && line ~ /[;,{}][ \t]*\/\/[^\/]/ && line !~ /^[ \t]*}/ && line !~ /"/)
        sub(/\/\//, "///<", line)
    print line

    change = opens_body(line)
    if (change > 0 && body_depth < 0 && line !~ /(namespace|class|struct|enum|union)[ \t]/)
        body_depth = depth
    depth += change
    if (body_depth >= 0 && depth <= body_depth) body_depth = -1
}

END { emit_block(0, 0) }
