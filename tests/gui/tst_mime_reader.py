# Reads a message with Python's email package (an independent MIME reader
# for the window tests) and prints its part tree as JSON: for each part its
# type, charset, transfer encoding, names and, for a multipart, its parts;
# for a leaf the decoded bytes in hex and, for text, the decoded text with
# "\n" line ends; and the subject as a modern reader decodes it. BinHex has
# no decoder in the standard library, so it is decoded here from its
# description (RFC 1741), CRCs checked.
import sys, json, email, binascii, re
from email.header import decode_header
from email.parser import BytesParser
from email import policy

ALPHABET = b"!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr"

def binhex(text):
    start = text.index(b"(This file must be converted with BinHex")
    body = text[text.index(b":", text.index(b"\n", start)) + 1:]
    body = body[:body.index(b":")]
    raw, bits, nbits = bytearray(), 0, 0
    for ch in body:
        if ch in b"\r\n\t ":
            continue
        bits = (bits << 6) | ALPHABET.index(ch)
        nbits += 6
        if nbits >= 8:
            nbits -= 8
            raw.append((bits >> nbits) & 0xFF)
    out, i, last = bytearray(), 0, 0
    while i < len(raw):
        c = raw[i]; i += 1
        if c == 0x90:
            n = raw[i]; i += 1
            if n == 0:
                out.append(0x90); last = 0x90
            else:
                out.extend([last] * (n - 1))
        else:
            out.append(c); last = c
    n = out[0]
    pos = 1 + n + 1 + 4 + 4 + 2
    dlen = int.from_bytes(out[pos:pos + 4], "big")
    pos += 8
    if binascii.crc_hqx(bytes(out[:pos]), 0) != int.from_bytes(out[pos:pos + 2], "big"):
        raise ValueError("BinHex header CRC")
    pos += 2
    data = bytes(out[pos:pos + dlen])
    if binascii.crc_hqx(data, 0) != int.from_bytes(out[pos + dlen:pos + dlen + 2], "big"):
        raise ValueError("BinHex data CRC")
    return bytes(out[1:1 + n]).decode("latin-1"), data

def words(value):
    if value is None:
        return None
    return "".join(t.decode(c or "ascii") if isinstance(t, bytes) else t for t, c in decode_header(value))

def tree(part):
    node = {"type": part.get_content_type(), "charset": part.get_content_charset(),
            "boundary": part.get_boundary()}
    if part.is_multipart():
        node["parts"] = [tree(p) for p in part.get_payload()]
        return node
    cte = (part.get("Content-Transfer-Encoding") or "7bit").strip().lower()
    inner = None
    if cte == "mac-binhex40":
        inner, data = binhex(part.get_payload(decode=False).encode("latin-1"))
    else:
        data = part.get_payload(decode=True)
        if cte == "x-uuencode":
            inner = re.search(r"^begin [0-7]+ (.*)$", part.get_payload(), re.M).group(1).strip()
    node.update({"cte": cte, "filename": part.get_filename(), "name": words(part.get_param("name")),
                 "disposition": part.get_content_disposition(), "inner": inner, "data": data.hex()})
    if part.get_content_maintype() == "text":
        node["text"] = data.decode(part.get_content_charset() or "latin-1", "replace").replace("\r\n", "\n")
    return node

top = tree(email.message_from_binary_file(open(sys.argv[1], "rb")))
subject = BytesParser(policy=policy.default).parse(open(sys.argv[1], "rb"), headersonly=True)["subject"]
top["subject"] = None if subject is None else str(subject)
print(json.dumps(top))
