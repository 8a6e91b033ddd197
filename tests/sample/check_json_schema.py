#!/usr/bin/env python3
"""Checks JSON documents against a JSON schema, with python's json only.

    check_json_schema.py SCHEMA [DOCUMENT...]   (no DOCUMENT: one document on stdin)

Knows the keywords the report's schema uses: type, const, enum, properties,
required, additionalProperties (false), items, minItems, maxItems, minimum.
Exit code 0 when every document is valid JSON and fits, 1 otherwise (each fault
printed).
"""

import json
import sys

TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "boolean": lambda v: isinstance(v, bool),
    "null": lambda v: v is None,
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
}
KNOWN = {"$schema", "title", "description", "type", "const", "enum", "properties", "required",
         "additionalProperties", "items", "minItems", "maxItems", "minimum"}


def faults(value, schema, where="$"):
    unknown = set(schema) - KNOWN
    if unknown:
        raise ValueError("%s: schema keywords not supported: %s" % (where, sorted(unknown)))
    found = []
    if "type" in schema:
        types = schema["type"] if isinstance(schema["type"], list) else [schema["type"]]
        if not any(TYPES[t](value) for t in types):
            return ["%s: %r is not of type %s" % (where, value, "/".join(types))]
    if "const" in schema and value != schema["const"]:
        found.append("%s: %r is not %r" % (where, value, schema["const"]))
    if "enum" in schema and not any(value == e and type(value) is type(e) for e in schema["enum"]):
        found.append("%s: %r is not one of %r" % (where, value, schema["enum"]))
    if "minimum" in schema and TYPES["number"](value) and value < schema["minimum"]:
        found.append("%s: %r is below %r" % (where, value, schema["minimum"]))
    if isinstance(value, dict):
        for key in schema.get("required", []):
            if key not in value:
                found.append("%s: %s is missing" % (where, key))
        properties = schema.get("properties", {})
        for key, item in value.items():
            if key in properties:
                found += faults(item, properties[key], "%s.%s" % (where, key))
            elif schema.get("additionalProperties", True) is False:
                found.append("%s: %s is not expected" % (where, key))
    if isinstance(value, list):
        if len(value) < schema.get("minItems", 0):
            found.append("%s: fewer than %d items" % (where, schema["minItems"]))
        if "maxItems" in schema and len(value) > schema["maxItems"]:
            found.append("%s: more than %d items" % (where, schema["maxItems"]))
        if "items" in schema:
            for i, item in enumerate(value):
                found += faults(item, schema["items"], "%s[%d]" % (where, i))
    return found


def check_text(text, schema, name="document"):
    """The faults of one document given as bytes or text (invalid UTF-8 is one)."""
    try:
        if isinstance(text, bytes):
            text = text.decode("utf-8")
        document = json.loads(text)
    except (UnicodeDecodeError, ValueError) as error:
        return ["%s: not valid UTF-8 JSON: %s" % (name, error)]
    return ["%s: %s" % (name, f) for f in faults(document, schema)]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        schema = json.load(f)
    found = []
    if len(sys.argv) == 2:
        found += check_text(sys.stdin.buffer.read(), schema, "stdin")
    for name in sys.argv[2:]:
        with open(name, "rb") as f:
            found += check_text(f.read(), schema, name)
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
