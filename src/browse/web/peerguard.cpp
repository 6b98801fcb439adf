#include "browse/web/peerguard.h"

namespace {

// Runs in the page's own world at the creation of every document, before the
// page's scripts. It takes away what opens connections the request guard
// never sees (WebRTC, WebTransport), and keeps it away from every frame of
// the page's origin: the browser runs this script in a new frame only a
// little after the frame is made, while the page's script that made it can
// reach into it at once. So every way a script can make a frame (inserting
// markup or nodes, writing the document, opening a window, the parser
// calling back into script through a frame's load or a custom element; the
// parser runs pending observers before each script of its own) is followed
// at once by a sweep over the frames below, which takes the same things away
// in them and guards them alike.
// What the page changes afterwards does not reach this script's own copies
// of the functions it uses.
constexpr char16_t kPeerGuard[] = uR"js((function () {
  'use strict';
  var names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel',
    'RTCSessionDescription', 'RTCIceCandidate', 'RTCRtpSender', 'RTCRtpReceiver',
    'RTCRtpTransceiver', 'RTCDtlsTransport', 'RTCIceTransport', 'RTCSctpTransport',
    'RTCCertificate', 'RTCDTMFSender', 'RTCPeerConnectionIceEvent',
    'RTCPeerConnectionIceErrorEvent', 'RTCDataChannelEvent', 'RTCTrackEvent',
    'RTCDTMFToneChangeEvent', 'RTCError', 'RTCErrorEvent', 'RTCEncodedAudioFrame',
    'RTCEncodedVideoFrame', 'WebTransport', 'WebTransportError',
    'WebTransportBidirectionalStream', 'WebTransportDatagramDuplexStream'];
  // A frame without an address reports its load while it is inserted.
  var events = ['load', 'DOMContentLoaded', 'readystatechange'];
  var apply = Reflect.apply;
  var getDescriptor = Object.getOwnPropertyDescriptor;
  var defineProperty = Object.defineProperty;
  var setPrototypeOf = Object.setPrototypeOf;
  var construct = Reflect.construct;
  var guarded = new WeakSet();
  var isGuarded = WeakSet.prototype.has;
  var addGuarded = WeakSet.prototype.add;

  function sweep(w) {
    for (var i = 0; ; ++i) {
      var child;
      try { child = w[i]; } catch (e) { return; }
      if (!child) return;
      guard(child);
    }
  }

  // Puts f in place of the method name of object; f calls the original,
  // then sweeps from the top window w.
  function wrapMethod(w, object, name) {
    if (!object) return;
    var d = getDescriptor(object, name);
    if (!d || typeof d.value !== 'function') return;
    var original = d.value;
    d.value = function () {
      try { return apply(original, this, arguments); } finally { sweep(w); }
    };
    try { defineProperty(object, name, d); } catch (e) { }
  }
  function wrapSetter(w, object, name) {
    if (!object) return;
    var d = getDescriptor(object, name);
    if (!d || typeof d.set !== 'function') return;
    var original = d.set;
    d.set = function (value) {
      try { apply(original, this, [value]); } finally { sweep(w); }
    };
    try { defineProperty(object, name, d); } catch (e) { }
  }
  // Custom elements run their code while the parser builds the page.
  function wrapDefine(w) {
    var registry = w.CustomElementRegistry && w.CustomElementRegistry.prototype;
    if (!registry) return;
    var d = getDescriptor(registry, 'define');
    if (!d || typeof d.value !== 'function') return;
    var original = d.value;
    var callbacks = ['connectedCallback', 'disconnectedCallback', 'adoptedCallback',
      'attributeChangedCallback'];
    d.value = function (name, constructor, options) {
      if (typeof constructor === 'function' && constructor.prototype) {
        for (var i = 0; i < callbacks.length; ++i) wrapMethod(w, constructor.prototype, callbacks[i]);
        var made = constructor;
        var wrapped = function () { sweep(w); return construct(made, arguments, new.target); };
        wrapped.prototype = made.prototype;
        setPrototypeOf(wrapped, made);
        constructor = wrapped;
      }
      return apply(original, this, [name, constructor, options]);
    };
    try { defineProperty(registry, 'define', d); } catch (e) { }
  }

  function guard(w) {
    try {
      if (apply(isGuarded, guarded, [w])) { sweep(w); return; }
      var node = w.Node;
      if (!node) return;
      apply(addGuarded, guarded, [w]);
    } catch (e) { return; }
    for (var i = 0; i < names.length; ++i) {
      try { delete w[names[i]]; } catch (e) { }
    }
    var p = function (type) { return w[type] && w[type].prototype; };
    var methods = [
      [p('Node'), ['appendChild', 'insertBefore', 'replaceChild']],
      [p('Element'), ['append', 'prepend', 'before', 'after', 'replaceWith', 'replaceChildren',
        'insertAdjacentElement', 'insertAdjacentHTML', 'setAttribute', 'setAttributeNS']],
      [p('CharacterData'), ['before', 'after', 'replaceWith']],
      [p('DocumentType'), ['before', 'after', 'replaceWith']],
      [p('DocumentFragment'), ['append', 'prepend', 'replaceChildren']],
      [p('Document'), ['append', 'prepend', 'replaceChildren', 'write', 'writeln', 'open',
        'execCommand']],
      [p('Range'), ['insertNode', 'surroundContents']],
      [w, ['open']]];
    for (var m = 0; m < methods.length; ++m)
      for (var n = 0; n < methods[m][1].length; ++n) wrapMethod(w, methods[m][0], methods[m][1][n]);
    var setters = [[p('Element'), ['innerHTML', 'outerHTML']], [p('ShadowRoot'), ['innerHTML']],
      [p('HTMLIFrameElement'), ['src', 'srcdoc']], [p('HTMLObjectElement'), ['data']],
      [p('HTMLEmbedElement'), ['src']], [p('HTMLFrameElement'), ['src']]];
    for (var s = 0; s < setters.length; ++s)
      for (var t = 0; t < setters[s][1].length; ++t) wrapSetter(w, setters[s][0], setters[s][1][t]);
    wrapDefine(w);
    var listener = function () { sweep(w); };
    for (var e = 0; e < events.length; ++e) {
      try { w.addEventListener(events[e], listener, true); } catch (x) { }
    }
    try {
      new w.MutationObserver(listener).observe(w.document, { childList: true, subtree: true });
    } catch (x) { }
    sweep(w);
  }

  guard(window);
})())js";

} // namespace

QString PeerGuard::script()
{
    return QString::fromUtf16(kPeerGuard);
}
