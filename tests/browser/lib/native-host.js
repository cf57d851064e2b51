// A serix-host in session mode: the native one is the reference the page is compared with.
"use strict";
const { spawn } = require("node:child_process");
const readline = require("node:readline");

class NativeHost {
  // The host program, or a command that runs it (["node", "serix-host.js"]).
  constructor(host) {
    const [program, ...words] = Array.isArray(host) ? host : [host];
    this.child = spawn(program, [...words, "session"], { stdio: ["pipe", "pipe", "inherit"] });
    this.lines = readline.createInterface({ input: this.child.stdout })[Symbol.asyncIterator]();
  }

  async request(request) {
    return this.send(JSON.stringify(request));
  }

  // The response to one request line as it stands, valid JSON or not.
  async send(line) {
    this.child.stdin.write(line + "\n");
    const { value, done } = await this.lines.next();
    if (done) throw new Error("serix-host ended its session");
    return JSON.parse(value);
  }

  close() {
    this.child.stdin.end();
  }
}

module.exports = { NativeHost };
