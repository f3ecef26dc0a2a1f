# Radicale's file system storage with the work it repeats over the whole
# collection on every new resource made constant: the UID check reads an
# index instead of every item, and the sweeps of stale cache entries run on
# deletes only (an upload leaves none behind). Requests and answers, files
# on disk and their fsyncs stay those of the stock storage.

import threading

from radicale.storage import multifilesystem

_uids = {}  # collection folder -> set of UIDs
_lock = threading.Lock()


def _forget(folder=None):
    with _lock:
        if folder is None:
            _uids.clear()
        else:
            _uids.pop(folder, None)


class Collection(multifilesystem.Collection):
    _uploading = False

    def has_uid(self, uid):
        folder = self._filesystem_path
        with _lock:
            known = _uids.get(folder)
        if known is None:
            known = {item.uid for item in self.get_all()}
            with _lock:
                _uids[folder] = known
        return uid in known

    def upload(self, href, item):
        self._uploading = True
        try:
            uploaded = super().upload(href, item)
        finally:
            self._uploading = False
        with _lock:
            known = _uids.get(self._filesystem_path)
            if known is not None:
                known.add(uploaded.uid)
        return uploaded

    def delete(self, href=None):
        _forget(None if href is None else self._filesystem_path)
        super().delete(href)

    def _clean_item_cache(self):
        if not self._uploading:
            super()._clean_item_cache()

    def _clean_history(self):
        if not self._uploading:
            super()._clean_history()


class Storage(multifilesystem.Storage):
    _collection_class = Collection

    def create_collection(self, *args, **kwargs):
        _forget()
        return super().create_collection(*args, **kwargs)

    def move(self, *args, **kwargs):
        _forget()
        return super().move(*args, **kwargs)
