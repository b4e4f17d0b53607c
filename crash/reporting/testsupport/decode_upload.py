#!/usr/bin/python3
# A collection service's reading of one crash upload: the multipart body (Python's email
# package), the "file" part, its decryption with `openssl enc` when the name ends ".ec", and
# gunzip. Prints one JSON object: name, filename, contentType, text (or error).
import email
import email.policy
import gzip
import json
import subprocess
import sys

def main():
    content_type, body_path, key_hex = sys.argv[1], sys.argv[2], sys.argv[3]
    with open(body_path, "rb") as f:
        body = f.read()
    message = email.message_from_bytes(
        b"Content-Type: " + content_type.encode() + b"\r\nMIME-Version: 1.0\r\n\r\n" + body,
        policy=email.policy.HTTP)
    if not message.is_multipart():
        raise SystemExit(json.dumps({"error": "not multipart"}))
    parts = list(message.iter_parts())
    if len(parts) != 1:
        raise SystemExit(json.dumps({"error": "expected one part, got %d" % len(parts)}))
    part = parts[0]
    name = part.get_param("name", header="content-disposition")
    filename = part.get_filename()
    payload = part.get_payload(decode=True)
    if filename.endswith(".ec"):
        result = subprocess.run(["openssl", "enc", "-d", "-aes-128-cbc", "-K", key_hex, "-iv", "0" * 32],
                                input=payload, capture_output=True)
        if result.returncode != 0:
            raise SystemExit(json.dumps({"error": "openssl: " + result.stderr.decode(errors="replace")}))
        payload = result.stdout
    # Encrypted payloads carry 16 zero bytes after the gzip stream, which gzip reads as padding.
    text = gzip.decompress(payload).decode("utf-8")
    print(json.dumps({"name": name, "filename": filename, "contentType": part.get_content_type(), "text": text}))

main()
