#!/usr/bin/python3
"""Drives one burn job through burnhost --stdio: ApplyBurn, StartBurn, AddFile,
WriteLabel and DoBurn, each after the reply of the one before, then waits for the
final BurnStatusReply and prints it."""
import json
import os
import subprocess
import sys
import threading
import queue

STEP_TIMEOUT_S = 30
FINAL_TIMEOUT_S = 60


def module_message(line):
    outer = json.loads(line)
    return json.loads(outer["data"]).get("param", {})


def request(job, cmd, msg_id, examples_dir):
    param = {"JobId": job["jobId"]}
    if cmd == "ApplyBurn":
        param.update({"BurnDev": job["burnDev"], "BurnType": 0, "CopyCount": 1})
    elif cmd == "StartBurn":
        param.update({"CDType": job["cdType"], "CDTitle": job["cdTitle"], "CDCover": job["cdCover"]})
    elif cmd == "AddFile":
        param["FileList"] = [{"srcFile": os.path.join(examples_dir, f["src"]), "DesFile": f["dst"]}
                             for f in job["files"]]
    elif cmd == "WriteLabel":
        param["LabelInfo"] = job["label"]
    msg = {"token": "demo", "platform": "demo", "sender": "demo-client", "msgId": msg_id,
           "cmdtype": "request", "param": {"cmd": cmd, "ret": 0, "param": param}}
    return json.dumps(msg, ensure_ascii=False)


def main():
    burnhost, data_dir, job_file = sys.argv[1:4]
    examples_dir = os.path.dirname(os.path.abspath(job_file))
    with open(job_file, encoding="utf-8") as f:
        job = json.load(f)
    os.makedirs(data_dir, exist_ok=True)
    host_err = open(os.path.join(data_dir, "burnhost.stderr.log"), "w")
    host = subprocess.Popen([burnhost, "--stdio", "--data-dir", data_dir], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=host_err, text=True, encoding="utf-8")
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(l) for l in host.stdout], daemon=True).start()

    def wait_for(reply_cmd, timeout):
        while True:
            msg = module_message(lines.get(timeout=timeout))
            if msg.get("cmd") == reply_cmd and msg.get("param", {}).get("JobId") == job["jobId"]:
                return msg

    try:
        for step, cmd in enumerate(["ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"], 1):
            host.stdin.write(request(job, cmd, f"demo-{step}", examples_dir) + "\n")
            host.stdin.flush()
            reply = wait_for(cmd + "Reply", STEP_TIMEOUT_S)["param"]
            print(f"  {cmd:<11} ret={reply.get('ret')}")
            if reply.get("ret") != 0:
                print(f"  {reply.get('errCode', '')} {reply.get('errMsg', '')}")
                return 1
        final = wait_for("BurnStatusReply", FINAL_TIMEOUT_S)
        print("\nFinal status reply:")
        print(json.dumps(final, ensure_ascii=False, indent=2))
        return 0 if final["param"].get("status") == 3 else 1
    except queue.Empty:
        print("no reply in time", file=sys.stderr)
        return 1
    finally:
        host.terminate()
        host.wait(timeout=15)


if __name__ == "__main__":
    sys.exit(main())
