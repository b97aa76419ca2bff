// SPDX-License-Identifier: MIT
// Installable and offline after one visit: the site's worker (sw.js) keeps
// every file of this build. A worker runs only in a secure context (https,
// or this machine) and never from file://; elsewhere the pages load from
// the network as any page does.
if ('serviceWorker' in navigator && window.isSecureContext && location.protocol !== 'file:') {
  navigator.serviceWorker.register('sw.js').catch(function (error) {
    console.warn('no offline copy of the site: ' + error);
  });
}
