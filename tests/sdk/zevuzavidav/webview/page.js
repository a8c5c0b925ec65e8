// A small fake page for the kit's web-view scripts: a window that is the global object, a document
// whose frames are recorded, and the modern web view's message handler. Usage:
//   node page.js <script file> <scenario>
// Prints one JSON object: what the script answered and what it sent out.
'use strict';
const fs = require('fs');
const vm = require('vm');

const [scriptPath, scenario] = process.argv.slice(2);
const script = fs.readFileSync(scriptPath, 'utf8');

const sent = {frames: [], messages: [], pageErrors: [], pageLoads: 0, attachedAtEnd: 0};
const documentElement = {
  children: [],
  appendChild(node) { node.parentNode = this; this.children.push(node); },
  removeChild(node) {
    this.children = this.children.filter((child) => child !== node);
    node.parentNode = null;
  },
};
const page = {
  document: {
    documentElement,
    createElement(tag) {
      return {
        tag,
        attributes: {},
        setAttribute(name, value) {
          this.attributes[name] = value;
          if (tag === 'IFRAME' && name === 'src') sent.frames.push(value);
        },
      };
    },
  },
  webkit: {messageHandlers: {zevuzavidav: {postMessage: (body) => sent.messages.push(body)}}},
  encodeURIComponent,
};
page.window = page;
const context = vm.createContext(page);

const pageOnError = (...args) => { sent.pageErrors.push(args.slice(0, 4)); return true; };
if (scenario === 'page-handlers-first') {
  page.onerror = pageOnError;
  page.onload = () => { sent.pageLoads += 1; };
}

let answer;
try {
  answer = vm.runInContext(script, context);
} catch (error) {
  answer = 'threw: ' + error.message;
}

if (scenario === 'page-replaces-onerror-before-load') page.onerror = pageOnError;
if (typeof page.onload === 'function') page.onload({type: 'load'});
const errorAnswer = page.onerror('bad thing: a=b & c', 'https://example.test/app.js', 12, 5, null);
page.onerror('no column', 'https://example.test/app.js', 3, 0, null);
sent.attachedAtEnd = documentElement.children.length;

console.log(JSON.stringify({answer, errorAnswer: errorAnswer === undefined ? null : errorAnswer, ...sent}));
