# Shows the public headers' plain // comments to Doxygen without rewriting
# them. The comment block at the top of a header documents the file; a block
# right above a declaration documents it (and heads the member group of the
# declarations that follow it without a blank line or a comment of their own,
# each of which still needs its own comment after it on its line), or the
# macro of a #define right below it; a comment after a member on its line
# documents that member. Section titles (a block followed by a blank line),
# separators and comments inside function bodies stay plain. Line numbers are
# kept, so that warnings point at the header.

function is_comment(i) { return line[i] ~ /^[ \t]*\/\// }
function is_blank(i) { return line[i] ~ /^[ \t]*$/ }
function is_separator(i) { return line[i] ~ /^[ \t]*\/\/ ?-+[ \t]*$/ }

function brace_change(i,    code, opened, closed) {
    code = line[i]
    sub(/\/\/.*/, "", code)
    opened = gsub(/\{/, "{", code)
    closed = gsub(/\}/, "}", code)
    return opened - closed
}

# A line that belongs to a run of declarations: code at the same brace level.
function is_plain_code(i) {
    return i <= count && !is_blank(i) && !is_comment(i) && line[i] !~ /^[ \t]*#/ &&
           line[i] !~ /^[ \t]*(public|protected|private):/ && brace_change(i) == 0
}

function is_declaration_end(i,    code) {
    code = line[i]
    sub(/\/\/.*/, "", code)
    return code ~ /;[ \t]*$/
}

# The last line of the group that starts at `first`, or 0 for a lone declaration.
function group_end(first,    last, ends, i) {
    if (!is_plain_code(first)) return 0
    ends = 0
    for (i = first; is_plain_code(i); ++i) {
        last = i
        ends += is_declaration_end(i)
    }
    return ends >= 2 ? last : 0
}

function as_docs(i) {
    if (line[i] !~ /^[ \t]*\/\/\//) sub(/\/\//, "///", line[i])
}

# Where the line's `//` comment starts, outside string and character
# literals; 0 when it has none.
function comment_start(i,    n, k, c, quote) {
    n = length(line[i])
    quote = ""
    for (k = 1; k < n; ++k) {
        c = substr(line[i], k, 1)
        if (quote != "") {
            if (c == "\\") ++k
            else if (c == quote) quote = ""
        } else if (c == "\"" || c == "'") {
            quote = c
        } else if (substr(line[i], k, 2) == "//") {
            return k
        }
    }
    return 0
}

# The column of a member's trailing `// text` (after ; , { or }), or 0.
function trailing_comment(i,    at, code) {
    at = comment_start(i)
    if (!at || line[i] ~ /^[ \t]*}/ || substr(line[i], at + 2, 1) == "/") return 0
    code = substr(line[i], 1, at - 1)
    return code ~ /[;,{}][ \t]*$/ ? at : 0
}

# `code // text` becomes `code ///< text`.
function document_trailing_comment(i,    at) {
    at = trailing_comment(i)
    if (at) line[i] = substr(line[i], 1, at - 1) "///<" substr(line[i], at + 2)
}

# The group ends with a documentation comment: a plain one would leave a group
# at namespace level open to the end of the file. A trailing comment on the
# last line still documents its member, in the /**< */ form that can precede
# the closing mark.
function close_group(i,    at, text) {
    at = trailing_comment(i)
    if (at) {
        text = substr(line[i], at + 2)
        gsub(/\*\//, "* /", text)
        sub(/^ /, "", text)
        line[i] = substr(line[i], 1, at - 1) "/**< " text " */ /** @} */"
        return
    }
    at = comment_start(i)
    if (at) line[i] = substr(line[i], 1, at - 1) "/** @} */ " substr(line[i], at)
    else line[i] = line[i] " /** @} */"
}

# `int x = 0, y = 0;` under a documentation comment: the comment speaks of
# every name the declaration makes, so each later name gets a copy of the
# first one's. The line stays one line.
function split_declarators(i,    code, parts, n, k, type, first, name) {
    code = line[i]
    if (code ~ /\/\// || code !~ /^[ \t]*[A-Za-z_][A-Za-z0-9_:]*[ \t]+[A-Za-z_][A-Za-z0-9_]*( = [^,;(){}<>]*)?(, [A-Za-z_][A-Za-z0-9_]*( = [^,;(){}<>]*)?)+;[ \t]*$/)
        return
    sub(/;[ \t]*$/, "", code)
    n = split(code, parts, /, /)
    match(parts[1], /^[ \t]*[A-Za-z_][A-Za-z0-9_:]*[ \t]+/)
    type = substr(parts[1], RSTART, RLENGTH)
    first = substr(parts[1], RLENGTH + 1)
    sub(/ .*/, "", first)
    line[i] = parts[1] ";"
    sub(/^[ \t]*/, "", type)
    for (k = 2; k <= n; ++k) line[i] = line[i] " /** @copydoc " first " */ " type parts[k] ";"
}

{ line[++count] = $0 }

END {
    seen_code = 0
    depth = 0
    body_depth = -1
    for (i = 1; i <= count; ++i) {
        if (body_depth < 0 && is_comment(i) && !is_separator(i)) {
            first = i
            while (i < count && is_comment(i + 1) && !is_separator(i + 1)) ++i
            if (!seen_code) {
                for (j = first; j <= i; ++j) as_docs(j)
                line[i] = line[i] " @file"
            } else if (i < count && !is_blank(i + 1) &&
                       (line[i + 1] !~ /^[ \t]*#/ || line[i + 1] ~ /^[ \t]*#[ \t]*define[ \t]/)) {
                for (j = first; j <= i; ++j) as_docs(j)
                last = group_end(i + 1)
                if (last) {
                    line[i] = line[i] " @{"
                    close_group(last)
                }
            }
            continue
        }
        if (!is_blank(i)) seen_code = 1
        if (body_depth >= 0) {
            depth += brace_change(i)
            if (depth <= body_depth) body_depth = -1
            continue
        }
        if (i > 1 && line[i - 1] ~ /^[ \t]*\/\/\//) split_declarators(i)
        document_trailing_comment(i)
        change = brace_change(i)
        if (change > 0 && line[i] !~ /(namespace|class|struct|enum|union)[ \t]/)
            body_depth = depth
        depth += change
    }
    for (i = 1; i <= count; ++i) print line[i]
}
