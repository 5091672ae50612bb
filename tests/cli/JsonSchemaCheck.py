#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The companion's JSON as scripts read it: every command that prints JSON, run on a real history in
the ways that change what it prints, against its schema in docs/schema (also with keys a later
version may add), docs/json.md naming every key of every schema, and its table of exit statuses
saying what the help of each of those commands says.

Usage: JsonSchemaCheck.py BRENVIK3D_CLI DOCS_DIR SAMPLE_HISTORY
"""
import json
import re
import subprocess
import sys
import tempfile
from pathlib import Path

import jsonschema

cli, docs, sample = sys.argv[1], Path(sys.argv[2]), sys.argv[3]
failures = []


def run(home, *args):
    done = subprocess.run([cli, "--home", str(home), *args], capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        failures.append(f"{' '.join(args)}: exit {done.returncode}: {done.stderr.strip()}")
    return done.stdout


def exit_statuses(command):
    """The statuses the help of `command` lists, as (status, meaning) with each meaning apart."""
    text = subprocess.run([cli, *command.split(), "--help"], capture_output=True, text=True).stdout
    rows = re.sub(r"\n {30}", " ", text.split("\nExit status:\n", 1)[1])
    return {(int(m.group(1)), meaning) for m in re.finditer(r"^  (\d+) +(.*)$", rows, re.M)
            for meaning in m.group(2).split("; ")}


def with_added_keys(node):
    """The document with a key that no schema names in every object."""
    if isinstance(node, dict):
        return {**{key: with_added_keys(value) for key, value in node.items()}, "addedLater": [1, "a"]}
    if isinstance(node, list):
        return [with_added_keys(value) for value in node]
    return node


def commands():
    """Every command as its words, from the overall help, with the commands that have commands."""
    text = subprocess.run([cli, "--help"], capture_output=True, text=True, check=True).stdout
    listed = text.split("\nCommands:\n", 1)[1].split("\n\n", 1)[0]
    found = [m.group(1) for m in re.finditer(r"^  ([a-z]+(?: [a-z]+)?)(?: [A-Z\[]|  )", listed, re.M)]
    return found + sorted({c.split()[0] for c in found if " " in c})


with tempfile.TemporaryDirectory() as scratch:
    home, empty = Path(scratch) / "home", Path(scratch) / "empty"
    home.mkdir()
    empty.mkdir()
    run(home, "import", sample)
    issues = Path(sample).read_text().split()[::2]
    first, last = int(issues[0]), int(issues[-1])
    recent = f"{last - 40}:{last}"

    # The schema each run's output is checked against; the runs change which keys are there and
    # which are null.
    runs = [
        ("follow", home, ["follow", "--format", "json"]),
        ("follow", home, ["follow", "--format", "json", "--matched", "--positions", "fixed", "--back", "2"]),
        ("follow", home, ["follow", "--format", "json", "--pattern", "99,99,99"]),  # nothing matched
        ("follow", home, ["follow", "--format", "json", "--result-type", "segment", "--segment", "0"]),
        ("combo", home, ["combo", "--format", "json", "--size", "1", "--matched", "--group", "--result-pos", "3"]),
        ("backtest", home, ["backtest", "--format", "json", "--range", recent, "--twins", "2", "--rows"]),
        ("backtest", home, ["backtest", "--format", "json", "--range", recent, "--twins", "0", "--pick", "3"]),
        # The first draw has none before it, so no pattern and no prediction.
        ("backtest", home, ["backtest", "--format", "json", "--range", f"{first}:{first}", "--rows"]),
        ("log-add", home, ["log", "add", "--format", "json", "--issue", str(last + 1), "--pick", "2"]),
        ("log-add", home, ["log", "add", "--format", "json", "--issue", str(last + 5), "--result-type", "oddeven"]),
        ("log-add", home, ["log", "add", "--format", "json", "--issue", str(last + 6), "--search", "combo", "--size", "1"]),
        ("log-play", home, ["log", "play", "--format", "json", "--issue", str(last + 1), "--sum", "10-12", "--ticket", "group"]),
        ("log-play", home, ["log", "play", "--format", "json", "--issue", str(last + 5), "--kill", "0"]),
        ("omission", home, ["omission", "--format", "json"]),
        ("omission", home, ["omission", "--format", "json", "--range", recent]),
        ("filter", home, ["filter", "--format", "json", "--sum", "10-12", "--kill", "0", "--list"]),
        ("filter", home, ["filter", "--format", "json", "--sum", "10-12", "--ticket", "group", "--list"]),
        ("filter", empty, ["filter", "--format", "json", "--form", "baozi"]),  # no history
    ]
    outputs = [(schema, args, run(where, *args)) for schema, where, args in runs]
    # The first prediction's and play's draw comes in: the logbook then holds scored records and open ones.
    outputs.append(("log-list", ["log", "list"], run(home, "log", "list", "--format", "json")))
    run(home, "add", str(last + 1), "123")
    outputs.append(("log-list", ["log", "list"], run(home, "log", "list", "--format", "json")))
    outputs.append(("log-list", ["log", "list"], run(empty, "log", "list", "--format", "json")))

    schemas = {p.stem: json.loads(p.read_text()) for p in (docs / "schema").glob("*.json")}
    for name, schema in schemas.items():
        jsonschema.validators.validator_for(schema).check_schema(schema)
    for name, args, out in outputs:
        where = f"{' '.join(args)}"
        try:
            document = json.loads(out)
        except json.JSONDecodeError as e:
            failures.append(f"{where}: not one JSON document ({e}): {out[:200]}")
            continue
        if list(document)[:1] != ["format"] or document["format"] != 1:
            failures.append(f"{where}: \"format\": 1 is not the first key")
        validator = jsonschema.validators.validator_for(schemas[name])(schemas[name])
        for error in validator.iter_errors(document):
            failures.append(f"{where}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        # A key added later passes; a required key missing or of another type does not.
        for error in validator.iter_errors(with_added_keys(document)):
            failures.append(f"{where} with added keys: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        required = schemas[name].get("required", [])[-1]
        if validator.is_valid({k: v for k, v in document.items() if k != required}):
            failures.append(f"{where}: the schema accepts the document without its key {required}")
        if validator.is_valid({**document, "format": "1"}):
            failures.append(f"{where}: the schema accepts a format that is not the integer 1")

    # Every command that prints JSON has its schema and is run above, and every schema is a command's.
    run_names = {name for name, _, _ in outputs}
    for command in commands():
        help_text = subprocess.run([cli, *command.split(), "--help"], capture_output=True, text=True).stdout
        prints_json = re.search(r"^  --format \S*json", help_text, re.M) is not None
        name = command.replace(" ", "-")
        if prints_json and name not in run_names:
            failures.append(f"{command} prints JSON, but no schema docs/schema/{name}.json is checked")
        if not prints_json and name in schemas:
            failures.append(f"docs/schema/{name}.json describes {command}, which prints no JSON")
    for name in set(schemas) - run_names:
        failures.append(f"docs/schema/{name}.json belongs to no command")

    # The exit statuses docs/json.md gives each command that prints JSON are those of its help.
    manual = (docs / "json.md").read_text()
    table = manual.split("\n## Exit status\n", 1)[-1]
    rows = [[cell.strip() for cell in line.strip("|").split("|")]
            for line in table.splitlines() if re.match(r"\| (every command|`)", line)]
    if not rows:
        failures.append("docs/json.md has no table of exit statuses")
    for name in sorted(run_names):
        command = name.replace("-", " ")
        documented = {(int(status), meaning) for who, status, meaning in rows
                      if who == "every command" or f"`{command}`" in who.split(", ")}
        if documented != exit_statuses(command):
            failures.append(f"docs/json.md gives {command} the exit statuses {sorted(documented)}, its help "
                            f"{sorted(exit_statuses(command))}")
    for who, _, _ in rows:
        for named in re.findall(r"`([a-z ]+)`", who):
            if named.replace(" ", "-") not in run_names:
                failures.append(f"docs/json.md gives exit statuses to {named}, which prints no JSON")

    # docs/json.md has a section for every schema and names each of its keys.

    def keys(node):
        if isinstance(node, dict):
            yield from node.get("properties", {})
        for value in node.values() if isinstance(node, dict) else node if isinstance(node, list) else []:
            yield from keys(value)

    for name, schema in schemas.items():
        if f"## {name.replace('-', ' ')}" not in manual:
            failures.append(f"docs/json.md has no section ## {name.replace('-', ' ')}")
        for key in sorted(set(keys(schema))):
            if f"`{key}`" not in manual:
                failures.append(f"docs/json.md does not name the key `{key}` of {name}")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
print(f"{len(outputs)} documents checked against {len(schemas)} schemas")
sys.exit(1 if failures else 0)
