"""Prints the ASF attributes of a file as JSON, read by mutagen: name -> list of values."""
import json
import sys

import mutagen.asf

tags = mutagen.asf.ASF(sys.argv[1]).tags
out = {}
for name, value in tags:
    v = value.value
    if isinstance(v, bytes):
        v = v.hex()
    out.setdefault(name, []).append(v if isinstance(v, (str, int)) else str(v))
print(json.dumps(out, ensure_ascii=True, sort_keys=True))
