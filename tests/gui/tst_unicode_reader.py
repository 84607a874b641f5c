# Reads a message with Python's email package (an independent MIME reader)
# and prints its part tree as JSON: type, charset and, for text leaves, the
# decoded text with "\n" line ends; for other leaves the bytes in hex.
import sys, json, email

def tree(part):
    node = {"type": part.get_content_type(), "charset": part.get_content_charset()}
    if part.is_multipart():
        node["parts"] = [tree(p) for p in part.get_payload()]
    elif part.get_content_maintype() == "text":
        data = part.get_payload(decode=True)
        node["text"] = data.decode(part.get_content_charset() or "latin-1").replace("\r\n", "\n")
    else:
        node["data"] = part.get_payload(decode=True).hex()
    return node

print(json.dumps(tree(email.message_from_binary_file(open(sys.argv[1], "rb")))))
